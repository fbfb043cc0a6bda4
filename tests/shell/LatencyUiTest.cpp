#include "SimFixture.h"

#include "controls/CXBmpSlider.h"
#include "image/MainFields.h"
#include "image/ParamImage.h"
#include "link/Link.h"
#include "pages/CDialogMusic.h"
#include "pages/PageSwitch.h"
#include "protocol/ParamSenders.h"
#include "protocol/ParamTable.h"
#include "shell/Language.h"
#include "sim/InProcessBus.h"

#include <chrono>

namespace kv::test {
namespace {

using namespace std::chrono_literals;

/// The parameter command of a table row for the image's current value.
Bytes RowBytes(const ParamRow& row) {
    const std::vector<std::uint32_t> words = EncodeRow(row, GetParamImage());
    const Command command = BuildParamCommand(row.module, row.item, words);
    return Bytes(command.begin(), command.end());
}

/// The value bytes of that command (what the processor keeps).
Bytes RowValues(const ParamRow& row) {
    const Bytes command = RowBytes(row);
    return Bytes(command.begin() + 6, command.begin() + 6 + 4 * command[5]);
}

/// The processor's live value bytes of a row.
Bytes LiveBytes(const ParamRow& row) {
    const auto values = device::RunningSimulator()->Inspect(
        [&row](const sim::SimProcessor& p) { return p.Live().Values(row.module, row.item); });
    return Bytes(values.begin(), values.end());
}

const ParamRow& RowOf(const MainField& field, int entry) {
    for (const ParamRow& row : ParamRows()) {
        if (row.wire != Wire::Dynamics && row.field->SlotOf(row.entry) == field.SlotOf(entry)) {
            return row;
        }
    }
    throw std::logic_error("no table row carries the field");
}

/// The application on a simulated processor that answers each command 200 ms late; during
/// a burst its answers are held back altogether, so that a window that waited for one could
/// not go on.
class LatencyUiTest : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        RegisterPages();
        // Read at full speed, then slow: the window is what is under test, not the read-all.
        StartConnected();
        device::RunningSimulator()->SetLatency(200ms);
        // Long enough that the owner keeps waiting for the held answer through the burst.
        m_previousWait = AnswerWait();
        SetAnswerWait(10s);
    }
    void TearDown() override {
        HoldAnswers(false);
        SetAnswerWait(m_previousWait);
        SimFixture::TearDown();
    }

    void HoldAnswers(bool hold) {
        if (auto* bus = device::RunningSimulatorBus()) {
            bus->HoldReports(device::SimulatedDevicePath(), hold);
        }
    }
    static int Taken() { return device::RunningSimulator()->CommandsHandled(); }

    CDialogMusic* MainPage() const {
        return dynamic_cast<CDialogMusic*>(m_frame->View()->CurrentPage());
    }

    /// Presses key on the slider steps times while the processor's answers are held. Every
    /// step must come back to the caller with at most one command taken by the processor
    /// since the burst began: the one in flight, whose answer has not come.
    void Burst(CXBmpSlider* slider, Qt::Key key, int steps) {
        HoldAnswers(true);
        const int before = Taken();
        for (int i = 0; i < steps; ++i) {
            QTest::keyClick(slider, key);
            EXPECT_LE(Taken() - before, 1) << "step " << i << " waited for the processor";
        }
        HoldAnswers(false);
    }

    std::chrono::milliseconds m_previousWait{};
};

TEST_F(LatencyUiTest, ASliderBurstNeverWaitsAndTheProcessorEndsAtTheLastValue) {
    ASSERT_NE(MainPage(), nullptr);
    auto* slider = static_cast<CXBmpSlider*>(FindControl(MainPage(), 1056)); // Mic 1 volume
    ASSERT_NE(slider, nullptr);
    const ParamRow& row = RowOf(fields::micInputVolume, 0);
    QTest::keyClick(slider, Qt::Key_Home);
    ASSERT_TRUE(QTest::qWaitFor([&] { return LiveBytes(row) == RowValues(row); }, 5000));
    Mark();
    const int replacedBefore = device::ReplacedCommands();

    constexpr int kSteps = 12;
    Burst(slider, Qt::Key_Up, kSteps);
    EXPECT_EQ(slider->Pos(), kSteps);

    // The processor catches up with the last value, not with every step.
    const Bytes last = RowBytes(row);
    EXPECT_TRUE(QTest::qWaitFor([&] { return LiveBytes(row) == RowValues(row); }, 5000));
    const auto sent = WaitParams(row.module, row.item, 1);
    ASSERT_FALSE(sent.empty());
    EXPECT_LE(sent.size(), 2u);
    EXPECT_EQ(sent.back(), last);
    EXPECT_GE(device::ReplacedCommands() - replacedBefore, kSteps - 2);
}

TEST_F(LatencyUiTest, AMultiCommandSetterKeepsItsOrderWhileItsStepsAreReplaced) {
    ASSERT_NE(MainPage(), nullptr);
    MainPage()->SelectRow(8); // frequency shift: off switch, angular step, shifter delay
    CXBmpSlider* slider = MainPage()->ParamSlider();
    Mark();
    Burst(slider, Qt::Key_Up, 8);

    const ParamRow* rows[] = {FindParamRow(1, 33), FindParamRow(1, 31), FindParamRow(1, 32)};
    for (const ParamRow* row : rows) {
        ASSERT_NE(row, nullptr);
        EXPECT_TRUE(QTest::qWaitFor([&] { return LiveBytes(*row) == RowValues(*row); }, 5000))
            << "item " << row->item;
    }
    // The last three commands of the shifter are the setter's three, in its order.
    std::vector<Bytes> shifter;
    for (const Bytes& b : SinceMark(kCmdSetParam)) {
        if (b[3] == 1 && b[4] >= 31 && b[4] <= 33) {
            shifter.push_back(b);
        }
    }
    ASSERT_GE(shifter.size(), 3u);
    // At most the step in flight went out before the replaced ones.
    EXPECT_LE(shifter.size(), 6u);
    const std::vector<Bytes> tail(shifter.end() - 3, shifter.end());
    const std::vector<Bytes> expected = {RowBytes(*rows[0]), RowBytes(*rows[1]),
                                         RowBytes(*rows[2])};
    EXPECT_EQ(tail, expected);
}

} // namespace
} // namespace kv::test
