#include "protocol/RecordingSink.h"

#include "image/MainFields.h"
#include "image/ParamImage.h"
#include "pages/ChannelLink.h"
#include "protocol/DelayOperations.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kv {
namespace {

using test::RecordingSink;

TEST(ChannelLinkTest, LinkedChannelsFollowTheThreePairs) {
    struct Case {
        int channel;
        LinkFlags flags;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {0, {1, 0, 0}, {0, 1}}, {1, {1, 0, 0}, {1, 0}}, {0, {0, 1, 1}, {0}}, {2, {0, 1, 0}, {2, 3}},
        {3, {0, 1, 0}, {3, 2}}, {3, {1, 0, 1}, {3}},    {4, {1, 1, 1}, {4}}, {5, {1, 1, 1}, {5}},
        {6, {0, 0, 1}, {6, 7}}, {7, {0, 0, 1}, {7, 6}}, {7, {1, 1, 0}, {7}}, {8, {1, 1, 1}, {}},
        {-1, {1, 1, 1}, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetLinkedChannels(c.channel, c.flags), c.expected) << "channel " << c.channel;
    }
}

TEST(ChannelLinkTest, CrossoverSlopeFromSectionTypes) {
    struct Case {
        std::array<int, 4> types;
        int slope;
        int family;
    };
    const Case cases[] = {
        {{10, 10, 1, 1}, 0, 2},
        {{11, 11, 1, 1}, 0, 3},
        {{12, 12, 1, 1}, 1, 2},
        {{13, 13, 1, 1}, 1, 3},
        {{14, 10, 14, 10}, 2, 2},
        {{15, 11, 15, 11}, 2, 3},
        {{18, 20, 18, 20}, 3, 2},
        {{19, 21, 19, 21}, 3, 3},
        {{8, 1, 1, 1}, 4, 2},
        {{9, 1, 1, 1}, 4, 3},
        {{8, 10, 1, 1}, 5, 2},
        {{9, 11, 1, 1}, 5, 3},
        {{8, 8, 1, 1}, 6, 2},
        {{9, 9, 1, 1}, 6, 3},
        {{12, 1, 1, 1}, 7, 2},
        {{13, 1, 1, 1}, 7, 3},
        {{14, 10, 1, 1}, 8, 2},
        {{15, 11, 1, 1}, 8, 3},
        {{18, 20, 1, 1}, 9, 2},
        {{19, 21, 1, 1}, 9, 3},
        {{6, 1, 1, 1}, 10, 2},
        {{7, 1, 1, 1}, 10, 3},
        {{1, 1, 1, 1}, 11, 1},
        {{4, 1, 1, 1}, 12, 4},
        {{5, 1, 1, 1}, 13, 5},
        // No match: mixed families, a stray section, an unknown code, a type-0 band.
        {{10, 11, 1, 1}, 0, 0},
        {{18, 20, 1, 2}, 0, 0},
        {{2, 1, 1, 1}, 0, 0},
        {{0, 0, 0, 0}, 0, 0},
        {{40, 1, 1, 1}, 0, 0},
    };
    for (const Case& c : cases) {
        const CrossoverSlope found = FindCrossoverSlope(c.types);
        EXPECT_EQ(found.slope, c.slope) << c.types[0] << " " << c.types[1];
        EXPECT_EQ(found.family, c.family) << c.types[0] << " " << c.types[1];
    }
}

class ChannelSyncTest : public ::testing::Test {
protected:
    void SetUp() override {
        image.InitDefaults();
        // CH3 and CH4 start out alike: every test changes one thing on CH3.
        SyncChannels(2, 3);
        sink.Clear();
    }

    /// (module, item) of every command sent, store writes as (-1, address).
    std::vector<std::pair<int, int>> Sent() const {
        std::vector<std::pair<int, int>> out;
        for (const auto& r : sink.Commands()) {
            if (r.IsStoreWrite()) {
                out.emplace_back(-1, r.command[3] | r.command[4] << 8);
            } else {
                out.emplace_back(r.Module(), r.Item());
            }
        }
        return out;
    }

    ParamImage& image = GetParamImage();
    RecordingSink sink;
};

TEST_F(ChannelSyncTest, EveryComparedValueMakesChannelsDifferAndSyncCopiesIt) {
    ASSERT_TRUE(ChannelsEqual(2, 3));
    struct Case {
        std::string what;
        std::function<void()> change;
        std::vector<int> items; ///< items of module 8 the copy sends, in order
    };
    const auto band = [this](int b, double gain, double freq, double q, int type) {
        return [=, this] { image.WriteBand(7, b, gain, freq, q, type); };
    };
    const Case cases[] = {
        {"echo", [this] { image.SetInt(fields::outEchoLevel, 2, 40); }, {22, 13, 14}},
        {"reverb", [this] { image.SetInt(fields::outReverbLevel, 2, 41); }, {21, 13, 14}},
        {"music", [this] { image.SetInt(fields::outMusicLevel, 2, 42); }, {23, 13, 14}},
        {"direct", [this] { image.SetInt(fields::outDirectLevel, 2, 43); }, {20, 13, 14}},
        {"eq switch", [this] { image.SetInt(fields::outEqSwitch, 2, 1); }, {15, 13, 14}},
        {"delay mode", [this] { image.SetInt(fields::outDelayMode, 2, 1); }, {17, 13, 14, 13, 14}},
        {"delay off", [this] { image.SetInt(fields::outDelayOff, 2, 1); }, {19, 13, 14}},
        {"delay", [this] { image.SetFloat(fields::outDelay, 2, 12.5f); }, {13, 14, 18}},
        {"crossover", [] { SetDelayCrossover(2, 7); }, {13, 14}},
        {"threshold",
         [this] { image.SetFloat(fields::outCompThreshold, 2, -20.0f); },
         {13, 14, 27}},
        {"ratio", [this] { image.SetFloat(fields::outCompRatio, 2, 3.0f); }, {13, 14, 27}},
        {"attack", [this] { image.SetFloat(fields::outCompAttack, 2, 9.0f); }, {13, 14, 27}},
        {"release", [this] { image.SetFloat(fields::outCompRelease, 2, 300.0f); }, {13, 14, 27}},
        {"comp off", [this] { image.SetInt(fields::outCompOff, 2, 1); }, {13, 14, 28}},
        {"band 0 gain", band(0, 4.5, 31, 1.41, 1), {13, 14, 0}},
        {"band 12 type", band(12, 0, 100, 0.7, 4), {13, 14, 12}},
        {"band 9 q", band(9, 0, 80, 0.5, 18), {13, 14, 9}},
    };
    for (const Case& c : cases) {
        SetUp();
        c.change();
        sink.Clear();
        EXPECT_FALSE(ChannelsEqual(2, 3)) << c.what;
        EXPECT_FALSE(ChannelsEqual(3, 2)) << c.what;
        SyncChannels(2, 3);
        EXPECT_TRUE(ChannelsEqual(2, 3)) << c.what;
        // Only what differs travels; the delay crossover bands 13 and 14 always do.
        std::vector<int> items;
        for (const auto& [module, item] : Sent()) {
            if (module == 8) {
                items.push_back(item);
            } else if (module != -1) {
                ADD_FAILURE() << c.what << ": module " << module << " item " << item;
            }
        }
        EXPECT_EQ(items, c.items) << c.what;
    }
}

TEST_F(ChannelSyncTest, SyncWritesTheSourceBandRecordsIntoTheDestinationGroup) {
    image.WriteBand(5, 3, -6.5, 2500, 2.2, 1);
    SyncChannels(0, 1);
    EXPECT_EQ(image.RecordBytes(ParamImage::BandRecordIndex(6, 3)),
              image.RecordBytes(ParamImage::BandRecordIndex(5, 3)));
    // The copy leaves the source alone and reaches CH2 only.
    for (const auto& [module, item] : Sent()) {
        EXPECT_TRUE(module == 6 || module == -1) << module << "/" << item;
    }
}

TEST_F(ChannelSyncTest, InvalidChannelsAreNeitherEqualNorCopied) {
    EXPECT_FALSE(ChannelsEqual(2, 8));
    EXPECT_FALSE(ChannelsEqual(-1, 0));
    SyncChannels(2, 8);
    SyncChannels(-1, 0);
    SyncChannels(2, 2);
    EXPECT_TRUE(sink.Commands().empty());
}

} // namespace
} // namespace kv
