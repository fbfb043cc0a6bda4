#include "RecordingSink.h"

#include "protocol/MachineSettings.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kv {
namespace {

using test::RecordingSink;

/// Drops every command, as the link does with no processor connected.
class DroppingSink final : public ICommandSink {
public:
    DroppingSink() : m_scope(*this) {}
    int Write(const Command&) override { return 0; }
    int WriteStore(int, std::span<const std::uint8_t>) override { return 0; }
    void Pause(std::chrono::milliseconds) override {}

private:
    ScopedCommandSink m_scope;
};

class MachineSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        image.InitDefaults();
        MachineSettingsRecord record{};
        for (std::size_t k = 0; k < record.size(); ++k) {
            record[k] = static_cast<std::uint8_t>(k + 1);
        }
        image.WriteBlock(Block::Hub, kHubSettingsOffset, record);
        SetEditSettings(image, record);
    }
    ParamImage& image = GetParamImage();
};

TEST(MachineSettingsRecordTest, ByteTwelveKeepsTheOtherHalf) {
    struct Case {
        std::uint8_t before;
        const char* action;
        std::uint8_t after;
        int route;
    };
    const Case cases[] = {
        {0x21, "unmute", 0x20, 2},  {0x2F, "unmute", 0x20, 2},  {0x10, "mute", 0x11, 1},
        {0x1E, "mute", 0x1F, 1},    {0x01, "route 1", 0x11, 1}, {0x2F, "route 0", 0x0F, 0},
        {0x30, "unmute", 0x30, -1}, {0xF3, "route 2", 0x23, 2},
    };
    for (const Case& c : cases) {
        MachineSettingsRecord r{};
        r[settings::kHdmiRouting] = c.before;
        const std::string action = c.action;
        if (action == "mute" || action == "unmute") {
            SetHdmiMute(r, action == "mute");
        } else {
            SetSurroundRoute(r, action.back() - '0');
        }
        EXPECT_EQ(r[settings::kHdmiRouting], c.after) << action << " " << int(c.before);
        EXPECT_EQ(SurroundRoute(r), c.route) << action << " " << int(c.before);
    }
    MachineSettingsRecord r{};
    SetVolumeSaveMode(r, 1);
    EXPECT_EQ(r[0] + r[1] + r[2], 3);
    EXPECT_EQ(r[3], 0);
    SetVolumeSaveMode(r, 0);
    EXPECT_EQ(r[0] + r[1] + r[2], 0);
}

TEST_F(MachineSettingsTest, ApplySendsTheEditCopyThenMakesItCurrent) {
    RecordingSink sink;
    MachineSettingsRecord edit = EditSettings(image);
    edit[settings::kMicStartVolume] = 40;
    SetEditSettings(image, edit);
    EXPECT_NE(CurrentSettings(image), edit);
    EXPECT_EQ(ApplyMachineSettings(), 61);
    const auto sent = sink.Commands();
    ASSERT_EQ(sent.size(), 1u);
    const Command& c = sent[0].command;
    EXPECT_EQ(c[0], 2);
    EXPECT_EQ(c[1], 0x91);
    EXPECT_TRUE(std::equal(edit.begin(), edit.end(), c.begin() + 2));
    EXPECT_TRUE(std::all_of(c.begin() + 16, c.end(), [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(CurrentSettings(image), edit);
}

TEST_F(MachineSettingsTest, ApplyThatWasNotSentKeepsTheCurrentCopy) {
    DroppingSink sink;
    const MachineSettingsRecord current = CurrentSettings(image);
    MachineSettingsRecord edit = current;
    edit[settings::kMusicMaxVolume] = 50;
    SetEditSettings(image, edit);
    EXPECT_EQ(ApplyMachineSettings(), 0);
    EXPECT_EQ(CurrentSettings(image), current);
    EXPECT_EQ(EditSettings(image), edit) << "the edit stays for the next Apply";
    DiscardMachineSettingsEdits();
    EXPECT_EQ(EditSettings(image), current);
}

} // namespace
} // namespace kv
