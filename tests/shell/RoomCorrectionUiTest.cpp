// "Import filters…" and "Export filters…" of the status bar on the real equaliser pages, driven
// as a person would: the file chosen, the preview read, Apply or Cancel clicked, then the
// image, the simulator's commands and the undo history checked.

#include "SimFixture.h"

#include "image/MainFields.h"
#include "image/ParamImage.h"
#include "pages/OutputPages.h"
#include "pages/PageSwitch.h"
#include "protocol/Equaliser.h"
#include "protocol/FilterText.h"
#include "shell/CMX2240v13View.h"
#include "shell/FilterImportDialog.h"
#include "shell/FilterPreviewCurve.h"
#include "shell/Language.h"

#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QUndoStack>

#include <functional>
#include <tuple>

namespace kv::test {
namespace {

const QString kFilters = QStringLiteral(KV_TEST_SOURCE_DIR "/../protocol/filters/");

std::vector<EqBand> BandsOf(int kind) {
    const auto k = EqKind(kind);
    std::vector<EqBand> bands;
    for (int b = 0; b < k->bands; ++b) {
        bands.push_back(GetParamImage().ReadBand(k->group, k->firstBand + b));
    }
    return bands;
}

bool SameBands(const std::vector<EqBand>& a, const std::vector<EqBand>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].type != b[i].type || a[i].gainDb != b[i].gainDb || a[i].freqHz != b[i].freqHz ||
            a[i].q != b[i].q) {
            return false;
        }
    }
    return true;
}

class RoomCorrectionUiTest : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        RegisterPages();
        RegisterOutputPages();
        StartConnected();
    }

    /// Clicks "Import filters…" with the file chosen, and runs `inDialog` on the preview
    /// once it is open (the dialog is modal: the click returns when it closes).
    void ImportWith(const QString& file, const std::function<void(FilterImportDialog&)>& inDialog) {
        m_chooser->answers.push_back(file);
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<FilterImportDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            seen = true;
            inDialog(*dialog);
            if (dialog->isVisible()) {
                dialog->reject();
            }
        });
        QTest::mouseClick(m_frame->ImportFiltersButton(), Qt::LeftButton);
        EXPECT_TRUE(seen) << "the preview did not open";
    }
};

TEST_F(RoomCorrectionUiTest, ApplyWritesTheChangedBandsAsOneUndoStep) {
    m_frame->View()->ShowPage(PageKind::Output, 0);
    m_frame->UpdateStatus();
    ASSERT_TRUE(m_frame->ImportFiltersButton()->isEnabled());
    const std::vector<EqBand> before = BandsOf(7);
    const int steps = m_frame->UndoStack()->count();
    Mark();
    std::size_t changed = 0;
    ImportWith(kFilters + QStringLiteral("rew-generic.txt"), [&](FilterImportDialog& d) {
        // The nine filters' bands change (band 10 too unless it was flat already); the report
        // lists the conversions.
        changed = d.Plan().ChangedBands().size();
        EXPECT_GE(changed, 9u);
        EXPECT_EQ(d.BandTable()->rowCount(), static_cast<int>(changed));
        EXPECT_EQ(d.BandTable()->item(0, 2)->text(), QStringLiteral("PEQ  -5.0dB  63Hz  Q 4.000"));
        EXPECT_EQ(d.Report()->count(), 5);
        EXPECT_TRUE(d.Report()->item(1)->text().contains(QStringLiteral("Filter 13")));
        QTest::mouseClick(d.ApplyButton(), Qt::LeftButton);
    });
    const std::vector<EqBand> after = BandsOf(7);
    EXPECT_EQ(after[0].freqHz, 63);
    EXPECT_EQ(after[0].gainDb, -5.0);
    EXPECT_EQ(after[8].type, kFilterHighPass);
    // Each changed band went out as its store write and its biquad command.
    EXPECT_EQ(WaitCommands(0x85, changed).size(), changed);
    EXPECT_EQ(WaitParams(5, 0, 1).size(), 1u);
    EXPECT_EQ(m_frame->UndoStack()->count(), steps + 1);

    Mark();
    m_frame->UndoAction()->trigger();
    EXPECT_TRUE(SameBands(BandsOf(7), before));
    EXPECT_EQ(WaitCommands(0x85, changed).size(), changed);
}

TEST_F(RoomCorrectionUiTest, CancelAndRefusedFilesChangeNothing) {
    m_frame->View()->ShowPage(PageKind::Main, 2); // music
    m_frame->UpdateStatus();
    const std::vector<EqBand> before = BandsOf(6);
    const int steps = m_frame->UndoStack()->count();
    Mark();
    ImportWith(kFilters + QStringLiteral("rew-comma.txt"), [&](FilterImportDialog& d) {
        EXPECT_EQ(d.Plan().kind, 6);
        QTest::mouseClick(d.KeepUnused(), Qt::LeftButton);
        EXPECT_EQ(d.BandTable()->rowCount(), 3); // with the other bands kept
        QTest::mouseClick(d.CancelButton(), Qt::LeftButton);
    });
    EXPECT_TRUE(SameBands(BandsOf(6), before));
    EXPECT_EQ(m_frame->UndoStack()->count(), steps);

    const QString junk = m_dir.filePath(QStringLiteral("junk.txt"));
    QFile file(junk);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("\x7f" "ELF\x02\x01\x01\0\0\0", 10));
    file.close();
    m_chooser->answers.push_back(junk);
    QTest::mouseClick(m_frame->ImportFiltersButton(), Qt::LeftButton);
    ASSERT_FALSE(m_boxes->shown.empty());
    EXPECT_TRUE(m_boxes->shown.back().text.contains(QStringLiteral("not a text file")))
        << m_boxes->shown.back().text.toStdString();
    EXPECT_TRUE(SameBands(BandsOf(6), before));
    EXPECT_TRUE(SinceMark(0x85).empty());
}

TEST_F(RoomCorrectionUiTest, ExportWritesTheShownEqualiserInTheChosenFormat) {
    m_frame->View()->ShowPage(PageKind::Output, 2); // CH3
    m_frame->UpdateStatus();
    QMenu* formats = m_frame->ExportFiltersButton()->menu();
    ASSERT_NE(formats, nullptr);
    ASSERT_EQ(formats->actions().size(), 2);
    const QString apo = m_dir.filePath(QStringLiteral("ch3.txt"));
    const QString rew = m_dir.filePath(QStringLiteral("ch3-rew.txt"));
    m_chooser->answers = {apo, rew};
    formats->actions()[0]->trigger();
    formats->actions()[1]->trigger();
    EXPECT_EQ(m_chooser->proposedNames,
              (std::vector<QString>{QStringLiteral("CH3"), QStringLiteral("CH3-rew")}));
    for (const QString& path : {apo, rew}) {
        const auto parsed = ReadFilterFile(path.toStdString());
        ASSERT_TRUE(parsed.ok()) << parsed.error;
        EXPECT_EQ(parsed.file->format,
                  path == rew ? FilterTextFormat::Rew : FilterTextFormat::Apo);
        // Bands 1..10 of a channel without a crossover, each that runs a filter type.
        std::vector<double> freqs;
        for (const EqBand& b : BandsOf(9)) {
            if (freqs.size() < 10 && b.type >= kFilterPeq && b.type <= kFilterHighShelf) {
                freqs.push_back(b.freqHz);
            }
        }
        ASSERT_EQ(parsed.file->filters.size(), freqs.size());
        for (std::size_t i = 0; i < freqs.size(); ++i) {
            EXPECT_EQ(*parsed.file->filters[i].freqHz, freqs[i]);
        }
    }
}

TEST_F(RoomCorrectionUiTest, ThePreviewSpeaksBothLanguages) {
    m_frame->View()->ShowPage(PageKind::Output, 0);
    for (const auto& [language, title, picture] :
         {std::tuple{0, "导入滤波器 - CH1", "room-correction-preview-zh"},
          std::tuple{1, "Import filters - CH1", "room-correction-preview-en"}}) {
        if (LanguageIndex() != language) {
            m_frame->SwitchLanguage();
        }
        m_frame->UpdateStatus();
        EXPECT_EQ(m_frame->ImportFiltersButton()->text(),
                  language == 0 ? QStringLiteral("导入滤波器…") : QStringLiteral("Import filters…"));
        ImportWith(kFilters + QStringLiteral("apo-channels.txt"), [&](FilterImportDialog& d) {
            EXPECT_EQ(d.windowTitle(), QString::fromUtf8(title));
            SaveScreenshot(&d, QString::fromLatin1(picture));
            QTest::mouseClick(d.CancelButton(), Qt::LeftButton);
        });
    }
}

} // namespace
} // namespace kv::test
