#include "RecordingSink.h"

#include "image/ParamImage.h"
#include "protocol/CoefficientEncoders.h"
#include "protocol/PositionTrims.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kv {
namespace {

using test::RecordingSink;
using test::ValueOf;

constexpr int kTrimItem = 29;
constexpr int kFirstOutputModule = 5;

class PositionTrimsTest : public ::testing::Test {
protected:
    void SetUp() override {
        image.InitDefaults();
        SetRoles({0, 1, 2, 3, 4, 5, 6, 7});
    }

    void SetRoles(const std::array<int, 8>& roles) {
        for (int c = 0; c < 8; ++c) {
            image.SetInt(fields::outRole, c, roles[static_cast<std::size_t>(c)]);
        }
    }

    /// The trims sent since the last Clear(), as (channel, first gain value).
    std::vector<std::pair<int, float>> SentTrims() const {
        std::vector<std::pair<int, float>> trims;
        for (const auto& r : sink.Commands()) {
            if (r.IsParam() && r.Item() == kTrimItem) {
                trims.emplace_back(r.Module() - kFirstOutputModule, ValueOf(r, 0));
            }
        }
        return trims;
    }

    static float Gain(float db) { return static_cast<float>(std::pow(10.0, db / 20.0)); }

    ParamImage& image = GetParamImage();
    RecordingSink sink;
};

TEST(DistanceTrim, FollowsThreeDecibelsPerMetre) {
    struct Case {
        float distance;
        float db;
    };
    const Case cases[] = {
        {0.0f, 3.0f}, {1.0f, 0.0f}, {2.0f, -3.0f}, {std::sqrt(2.0f), -1.2426407f}, {9.0f, -24.0f},
    };
    for (const Case& c : cases) {
        EXPECT_FLOAT_EQ(DistanceTrimDb(c.distance), c.db) << c.distance;
    }
}

TEST_F(PositionTrimsTest, DefaultFrontLeftIsTrimmedOnTheChannelPlayingIt) {
    // Listener (0, 0), L (-1, 1): d = 1.414, trim -1.24 dB, to the first channel with code 0.
    SetRoles({5, 7, 0, 0, 1, 2, 3, 4});
    EXPECT_EQ(UpdateSpeakerLevel(0), 2);
    EXPECT_NEAR(image.ExtensionTrim(2), -1.2426f, 1e-4f);
    EXPECT_EQ(image.ExtensionTrim(3), 0.0f);
    const auto trims = SentTrims();
    ASSERT_EQ(trims.size(), 1u);
    EXPECT_EQ(trims[0].first, 2);
}

TEST_F(PositionTrimsTest, SpeakerDraggedTwiceAsFarLosesThreeDecibelsOnItsChannel) {
    // Roles shuffled: the SBR speaker (geometry index 5, code 3) is played by channel 6.
    SetRoles({4, 5, 0, 1, 2, 7, 3, 6});
    MovePositionMarker(6, 1.0f, 0.0f); // 1 m from the listener
    const float near = image.ExtensionTrim(6);
    sink.Clear();
    MovePositionMarker(6, 2.0f, 0.0f); // 2 m
    EXPECT_FLOAT_EQ(near, 0.0f);
    EXPECT_FLOAT_EQ(image.ExtensionTrim(6), -3.0f);
    const auto sent = sink.Commands();
    // Routing block, extension block, trim of channel 6.
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(test::Hex(sent[0].command).substr(0, 14), "02 85 05 05 14");
    EXPECT_EQ(sent[0].command[5 + 4 + 10], 20); // SBR X packed to 2.0 m
    EXPECT_EQ(test::Hex(sent[1].command).substr(0, 14), "02 85 04 E5 20");
    EXPECT_EQ(sent[2].Module(), kFirstOutputModule + 6);
    EXPECT_FLOAT_EQ(ValueOf(sent[2], 0), Gain(-3.0f));
}

TEST_F(PositionTrimsTest, ListenerMoveTrimsEachCodeOnceOnItsFirstChannel) {
    // Code 0 carried by channels 1 and 4, code 6 by nobody.
    SetRoles({5, 0, 1, 2, 0, 3, 4, 7});
    MovePositionMarker(0, 0.0f, 1.0f);
    const auto trims = SentTrims();
    // Speaker order L, CEN, R, SBL, SUB, SBR, SL, SR; SL (code 6) has no channel.
    const std::vector<int> channels = {1, 0, 2, 3, 6, 5, 7};
    ASSERT_EQ(trims.size(), channels.size());
    for (std::size_t i = 0; i < channels.size(); ++i) {
        EXPECT_EQ(trims[i].first, channels[i]) << i;
    }
    // Listener now at (0, 1): L at 1 m, CEN at 0 m, SUB at 2 m.
    EXPECT_FLOAT_EQ(image.ExtensionTrim(1), 0.0f);
    EXPECT_FLOAT_EQ(image.ExtensionTrim(0), 3.0f);
    EXPECT_FLOAT_EQ(image.ExtensionTrim(6), -3.0f);
    EXPECT_EQ(image.ExtensionTrim(4), 0.0f);
    EXPECT_EQ(image.BlockByte(Block::Routing, 3), 10); // listener Y packed to 1.0 m
}

TEST_F(PositionTrimsTest, CentreWritesTheRoutingTwiceThenAllTrims) {
    MovePositionMarker(0, 1.5f, -1.0f);
    sink.Clear();
    CentreListener();
    const auto sent = sink.Commands();
    ASSERT_EQ(sent.size(), 2u + 16u);
    // First write: X centred, Y still -1.0 (0x8A); second: both centred (0x80 for zero).
    EXPECT_EQ(sent[0].command[5 + 2], 0x80);
    EXPECT_EQ(sent[0].command[5 + 3], 0x8A);
    EXPECT_EQ(sent[1].command[5 + 2], 0x80);
    EXPECT_EQ(sent[1].command[5 + 3], 0x80);
    EXPECT_EQ(SentTrims().size(), 8u);
    EXPECT_EQ(image.Geometry().listenerX, 0.0f);
    EXPECT_EQ(image.Geometry().listenerY, 0.0f);
}

TEST_F(PositionTrimsTest, RoomSizeIsLimitedAndKeepsPositions) {
    MovePositionMarker(1, 3.5f, 0.0f);
    sink.Clear();
    SetRoomSize(11, 0);
    const RoomGeometry g = image.Geometry();
    EXPECT_EQ(g.width, 10);
    EXPECT_EQ(g.length, 1);
    EXPECT_EQ(g.speakerX[0], 3.5f);
    const auto sent = sink.Commands();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].command[5], 10);
    EXPECT_EQ(sent[0].command[6], 1);
    EXPECT_TRUE(SentTrims().empty());
}

TEST_F(PositionTrimsTest, MarkersOutsideTheNineAreIgnored) {
    MovePositionMarker(9, 1.0f, 1.0f);
    MovePositionMarker(-1, 1.0f, 1.0f);
    EXPECT_EQ(ApplySpeakerLevel(8, 1.0f), -1);
    EXPECT_TRUE(sink.Commands().empty());
}

} // namespace
} // namespace kv
