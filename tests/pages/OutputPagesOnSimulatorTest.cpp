#include "shell/SimFixture.h"

#include "controls/CEqPanel.h"
#include "controls/CGdipButton.h"
#include "controls/CXBmpSlider.h"
#include "image/MainFields.h"
#include "image/ParamImage.h"
#include "pages/CCompDlg.h"
#include "pages/CDelayDlg.h"
#include "pages/CDialogOutput.h"
#include "pages/EqBandEditor.h"
#include "pages/OutputNavRow.h"
#include "pages/OutputPages.h"
#include "protocol/CoefficientEncoders.h"
#include "protocol/Commands.h"
#include "protocol/Equaliser.h"
#include "shell/AppState.h"
#include "shell/CMX2240v13View.h"
#include "shell/CRibbon.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabBar>

#include <bit>
#include <set>

namespace kv::test {
namespace {

using namespace fields;

/// The output pages in the running application; what they send is read from the bytes the
/// simulated processor received.
class OutputPagesOnSimulatorTest : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        RegisterOutputPages();
        StartConnected();
        GetAppState().option = kDefaultOptionRecord; // CH1+CH2, CH3+CH4, CH7+CH8 linked
    }
    void TearDown() override {
        SimFixture::TearDown();
        for (PageKind kind : {PageKind::Output, PageKind::Delay, PageKind::Compressor}) {
            RegisterPageFactory(kind, nullptr);
        }
    }

    /// Opens the output page of CH1 with the ribbon's "Output" tab.
    CDialogOutput* OpenOutputPage() {
        GetAppState().outputPageChannel = 0;
        QTabBar* tabs = m_frame->Ribbon()->Tabs();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(CRibbon::kOutput).center());
        return dynamic_cast<CDialogOutput*>(m_frame->View()->CurrentPage());
    }

    static void DragBand(CDialogOutput* page, int band) {
        auto* panel = static_cast<CEqPanel*>(page->Control(1040));
        const QPoint start = panel->HandlePos(band) + panel->PlotRect().topLeft();
        QTest::mousePress(panel, Qt::LeftButton, Qt::NoModifier, start);
        QTest::mouseMove(panel, start + QPoint(10, -20));
        QTest::mouseMove(panel, start + QPoint(20, -30));
        QTest::mouseRelease(panel, Qt::LeftButton, Qt::NoModifier, start + QPoint(20, -30));
    }

    /// The biquads (full coefficient sets) of one band received since Mark().
    std::vector<Bytes> Biquads(int group, int band) const {
        const auto command = EqBandCommand(group, band);
        std::vector<Bytes> out;
        for (const Bytes& b : ParamsSinceMark(command->module, command->item)) {
            if (b[5] == kBiquadValues) {
                out.push_back(b);
            }
        }
        return out;
    }

    /// How many store writes of the band's record were received since Mark().
    int RecordWrites(int group, int band) const {
        const int address = 7 * ParamImage::BandRecordIndex(group, band);
        int n = 0;
        for (const Bytes& b : SinceMark(kCmdStoreWrite)) {
            n += (b[2] << 8 | b[3]) == address ? 1 : 0;
        }
        return n;
    }

    /// Waits until the commands sent so far have all reached the simulator (its trace lags a
    /// moment behind the application).
    void WaitQuiet() const {
        std::size_t before = 0;
        for (int guard = 0; guard < 30 && Received().size() != before; ++guard) {
            before = Received().size();
            QTest::qWait(100);
        }
    }

    /// Waits until the simulator has received at least one biquad of each band given.
    void WaitBiquads(std::initializer_list<std::pair<int, int>> bands) const {
        [[maybe_unused]] const bool arrived = QTest::qWaitFor(
            [&] {
                for (auto [group, band] : bands) {
                    if (Biquads(group, band).empty()) {
                        return false;
                    }
                }
                return true;
            },
            3000);
        QTest::qWait(50);
    }
};

float FloatOf(const Bytes& b, int k) {
    const std::size_t at = 6 + 4 * static_cast<std::size_t>(k);
    return std::bit_cast<float>(std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 |
                                std::uint32_t{b[at + 2]} << 8 | b[at + 3]);
}

TEST_F(OutputPagesOnSimulatorTest, LinkedBandDragReachesBothChannelsAndOnlyOneOnceUnlinked) {
    CDialogOutput* page = OpenOutputPage();
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(page->Channel(), 0);
    Mark();
    DragBand(page, 2); // band 3
    WaitBiquads({{5, 2}, {6, 2}});
    const auto one = Biquads(5, 2);
    const auto two = Biquads(6, 2);
    ASSERT_FALSE(one.empty());
    ASSERT_FALSE(two.empty());
    // The partner's last biquad carries the same coefficients as CH1's last one.
    EXPECT_TRUE(std::equal(one.back().begin() + 6, one.back().end(), two.back().begin() + 6));
    EXPECT_GE(RecordWrites(5, 2), 1);
    EXPECT_GE(RecordWrites(6, 2), 1);
    for (int band = 0; band <= 12; ++band) {
        if (band != 2) {
            EXPECT_TRUE(Biquads(5, band).empty()) << band;
            EXPECT_TRUE(Biquads(6, band).empty()) << band;
        }
    }

    QTest::mouseClick(page->LinkBox(0), Qt::LeftButton, {},
                      QPoint(8, page->LinkBox(0)->height() / 2));
    ASSERT_EQ(GetAppState().option[0], 0);
    WaitQuiet();
    Mark();
    DragBand(page, 2);
    WaitBiquads({{5, 2}});
    EXPECT_FALSE(Biquads(5, 2).empty());
    QTest::qWait(100);
    EXPECT_TRUE(Biquads(6, 2).empty());
    EXPECT_EQ(RecordWrites(6, 2), 0);
}

TEST_F(OutputPagesOnSimulatorTest, Lr24OnBandTenProgramsFourSectionsOnEachLinkedChannel) {
    CDialogOutput* page = OpenOutputPage();
    ASSERT_NE(page, nullptr);
    page->SelectBand(9);
    auto* editor = page->findChild<EqBandEditor*>();
    ASSERT_NE(editor, nullptr);
    QRadioButton* lowPass = editor->TypeRadio(kFilterLowPass);
    QTest::mouseClick(lowPass, Qt::LeftButton, {}, QPoint(8, lowPass->height() / 2));
    auto* slope = static_cast<QComboBox*>(page->Control(1134));
    ASSERT_TRUE(slope->isVisible());
    slope->setFocus();
    QTest::keyClick(slope, Qt::Key_Home);
    ASSERT_EQ(slope->currentIndex(), 0);

    WaitQuiet(); // the low-pass choice's own commands
    Mark();
    QTest::keyClick(slope, Qt::Key_Down);
    ASSERT_EQ(slope->currentText(), QStringLiteral("LinkwitzRiely 24dB"));
    WaitBiquads({{5, 9}, {5, 10}, {5, 11}, {5, 12}, {6, 9}, {6, 10}, {6, 11}, {6, 12}});
    for (int group : {5, 6}) {
        for (int band = 9; band <= 12; ++band) {
            EXPECT_EQ(Biquads(group, band).size(), 1u) << group << " band " << band;
            EXPECT_EQ(RecordWrites(group, band), 1) << group << " band " << band;
        }
    }
    EXPECT_EQ(SinceMark(kCmdStoreWrite).size(), 8u);
    for (int group : {7, 8, 9, 10, 11, 12}) {
        EXPECT_TRUE(Biquads(group, 9).empty()) << group;
    }
}

TEST_F(OutputPagesOnSimulatorTest, CompressorRatioReachesOnlyTheChosenChannelEvenWhenLinked) {
    ParamImage& image = GetParamImage();
    for (int c : {0, 1}) {
        image.SetFloat(outCompThreshold, c, -20.0f);
        image.SetFloat(outCompRatio, c, 4.1f);
        image.SetFloat(outCompAttack, c, 12.0f);
        image.SetFloat(outCompRelease, c, 300.0f);
    }
    m_frame->View()->ShowPage(PageKind::Compressor, 0);
    auto* page = dynamic_cast<CCompDlg*>(m_frame->View()->CurrentPage());
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(GetAppState().option[0], 1);
    ASSERT_EQ(page->Slider(1)->Pos(), 41);

    WaitQuiet();
    Mark();
    page->Slider(1)->setFocus();
    QTest::keyClick(page->Slider(1), Qt::Key_Left); // ratio 4.0
    const auto sent = WaitParams(5, 27, 1);
    ASSERT_EQ(sent.size(), 1u);
    const DynamicsRecord expected = BuildDynamicsRecord(-20.0f, 4.0f, 12.0f, 300.0f);
    for (int k = 0; k < kDynamicsValues; ++k) {
        EXPECT_FLOAT_EQ(FloatOf(sent[0], k), expected[static_cast<std::size_t>(k)]) << k;
    }
    QTest::qWait(100);
    std::set<int> modules;
    for (const Bytes& b : SinceMark(kCmdSetParam)) {
        modules.insert(b[3]);
    }
    EXPECT_EQ(modules, std::set<int>{5}) << "CH2 (module 6) stays as it was";
}

TEST_F(OutputPagesOnSimulatorTest, TypedDelayArrivesInSamplesAndAnUnchangedOneSendsNothing) {
    CDialogOutput* output = OpenOutputPage();
    ASSERT_NE(output, nullptr);
    QTest::mouseClick(output->Navigation()->Button(OutputNavRow::kDelayId), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return dynamic_cast<CDelayDlg*>(m_frame->View()->CurrentPage()) != nullptr; },
        2000));
    auto* page = dynamic_cast<CDelayDlg*>(m_frame->View()->CurrentPage());
    QLineEdit* box = page->DelayBox(7); // CH8, module 12
    ASSERT_TRUE(box->isEnabled());
    const auto type = [box](const QString& text) {
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Return);
    };

    type(QStringLiteral("20"));
    WaitQuiet();
    Mark();
    type(QStringLiteral("0.5")); // below the shortest delay: 1.5 ms
    EXPECT_EQ(box->text(), QStringLiteral("1.5ms"));
    const auto sent = WaitParams(12, 18, 1);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0][6] << 24 | sent[0][7] << 16 | sent[0][8] << 8 | sent[0][9], 72);

    WaitQuiet();
    Mark();
    type(QStringLiteral("1.5"));
    QTest::qWait(200);
    EXPECT_TRUE(SinceMark(kCmdSetParam).empty());
    EXPECT_TRUE(SinceMark(kCmdStoreWrite).empty());
}

} // namespace
} // namespace kv::test
