#include "shell/SimFixture.h"

#include "controls/CGdipButton.h"
#include "pages/CDialogEfx.h"
#include "pages/CDialogMusic.h"
#include "pages/CDialogOutput.h"
#include "pages/EqBandTable.h"
#include "pages/OutputNavRow.h"
#include "pages/OutputPages.h"
#include "pages/PageSwitch.h"
#include "settings/CSSVCDlg.h"
#include "shell/AppState.h"
#include "shell/CMX2240v13View.h"
#include "shell/CRibbon.h"
#include "shell/CommandIds.h"
#include "shell/Language.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTableWidget>

namespace kv::test {
namespace {

/// True when w is part of a compound control (a table, a combo, a spin box), whose inner
/// widgets are laid out by the control itself.
bool InsideCompound(const QWidget* w, const QWidget* page) {
    for (const QWidget* p = w->parentWidget(); p && p != page; p = p->parentWidget()) {
        if (qobject_cast<const QAbstractScrollArea*>(p) || qobject_cast<const QComboBox*>(p) ||
            qobject_cast<const QAbstractSpinBox*>(p)) {
            return true;
        }
    }
    return false;
}

/// The pages in the main window at the smallest size and maximised on common screens, in
/// both languages.
class PageLayoutTest : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        RegisterPages();
        RegisterOutputPages();
        RegisterPositioningPage();
        StartConnected();
    }
    void TearDown() override {
        SimFixture::TearDown();
        for (PageKind kind :
             {PageKind::Output, PageKind::Delay, PageKind::Compressor, PageKind::Positioning}) {
            RegisterPageFactory(kind, nullptr);
        }
    }

    /// Every shown control lies inside the page, overlaps none of its neighbours, and every
    /// text fits its control; every row of a band list is visible.
    void ExpectLaidOut(const QString& where) {
        QWidget* page = m_frame->View()->CurrentPage()->Widget();
        const QRect bounds = page->rect();
        const std::string at = where.toStdString();
        for (QWidget* w : page->findChildren<QWidget*>()) {
            if (!w->isVisibleTo(page) || w->isWindow() || w->width() == 0) {
                continue;
            }
            const QRect r(w->mapTo(page, QPoint(0, 0)), w->size());
            EXPECT_TRUE(bounds.contains(r)) << at << ": " << w->metaObject()->className() << " "
                                            << ControlId(w) << " outside the page";
            if (!InsideCompound(w, page)) {
                for (QObject* o : w->parentWidget()->children()) {
                    auto* other = qobject_cast<QWidget*>(o);
                    if (other && other < w && other->isVisibleTo(page) && !other->isWindow() &&
                        other->geometry().intersects(w->geometry())) {
                        ADD_FAILURE()
                            << at << ": " << w->metaObject()->className() << " " << ControlId(w)
                            << " overlaps " << other->metaObject()->className() << " "
                            << ControlId(other);
                    }
                }
            }
            QString text;
            if (auto* label = qobject_cast<QLabel*>(w); label && !label->wordWrap()) {
                text = label->text();
            } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
                text = button->text();
            }
            if (!text.isEmpty() && !qobject_cast<QGroupBox*>(w)) {
                // A check box or radio button needs its indicator beside the text.
                const bool box = qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w);
                const int needed =
                    box ? w->minimumSizeHint().width() : w->fontMetrics().horizontalAdvance(text);
                EXPECT_LE(needed, w->width() + 1) << at << ": text \"" << text.toStdString()
                                                  << "\" cut off in control " << ControlId(w);
            }
            if (auto* list = qobject_cast<EqBandTable*>(w)) {
                EXPECT_FALSE(list->verticalScrollBar()->isVisible()) << at << ": band list scrolls";
                const int last = list->rowCount() - 1;
                EXPECT_LE(list->rowViewportPosition(last) + list->rowHeight(last),
                          list->viewport()->height())
                    << at << ": last band row hidden";
            }
        }
    }

    void Check(const QString& name) {
        for (const QSize size : {QSize(1040, 700), QSize(1600, 1000), QSize(1920, 1040)}) {
            m_frame->resize(size);
            QTest::qWait(50);
            ASSERT_EQ(m_frame->size(), size);
            const QString where =
                name + QStringLiteral(" %1x%2").arg(size.width()).arg(size.height());
            ExpectLaidOut(where);
        }
        m_frame->resize(1040, 700);
        QTest::qWait(50);
        SaveScreenshot(m_frame, name);
    }

    template <typename Page>
    Page* Show(PageKind kind, int argument) {
        m_frame->View()->ShowPage(kind, argument);
        return dynamic_cast<Page*>(m_frame->View()->CurrentPage());
    }

    void ClickCategory(int category) {
        QTabBar* tabs = m_frame->Ribbon()->Tabs();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(category).center());
    }

    /// The texts of the shown page's navigation row, in button order.
    QStringList NavTexts() const {
        QStringList texts;
        auto* row = m_frame->View()->CurrentPage()->Widget()->findChild<OutputNavRow*>();
        if (row) {
            for (int c = 0; c < 8; ++c) {
                texts << row->ChannelButton(c)->text();
            }
            for (int id :
                 {OutputNavRow::kLocationId, OutputNavRow::kDelayId, OutputNavRow::kCompId}) {
                texts << row->Button(id)->text();
            }
        }
        return texts;
    }
};

TEST_F(PageLayoutTest, EveryPageFitsInBothLanguages) {
    m_frame->show();
    for (int language = 0; language < 2; ++language) {
        const QString suffix = language == 0 ? QStringLiteral("zh") : QStringLiteral("en");
        auto* main = Show<CDialogMusic>(PageKind::Main, 0);
        ASSERT_NE(main, nullptr);
        main->SelectBand(2);
        Check(QStringLiteral("page-main-") + suffix);
        auto* effects = Show<CDialogEfx>(PageKind::Effects, 2);
        ASSERT_NE(effects, nullptr);
        Check(QStringLiteral("page-effects-") + suffix);
        effects->SelectBand(3);
        Check(QStringLiteral("page-effects-band-") + suffix);

        // The output pages as the "Output" category shows them, with one navigation row.
        GetAppState().outputPageChannel = 0;
        ClickCategory(CRibbon::kOutput);
        ASSERT_NE(dynamic_cast<CDialogOutput*>(m_frame->View()->CurrentPage()), nullptr);
        Check(QStringLiteral("page-output-") + suffix);
        const QStringList nav = NavTexts();
        EXPECT_EQ(nav.value(0), language == 0 ? "通道1" : "CH 1");
        EXPECT_EQ(nav.value(8), language == 0 ? "声场定位" : "Location");
        ASSERT_NE(Show<QWidget>(PageKind::Delay, 0), nullptr);
        Check(QStringLiteral("page-delay-") + suffix);
        EXPECT_EQ(NavTexts(), nav) << "delay page";
        ASSERT_NE(Show<QWidget>(PageKind::Compressor, 0), nullptr);
        Check(QStringLiteral("page-compressor-") + suffix);
        EXPECT_EQ(NavTexts(), nav) << "compressor page";
        ASSERT_NE(Show<CSSVCDlg>(PageKind::Positioning, 0), nullptr);
        Check(QStringLiteral("settings-positioning-") + suffix);
        EXPECT_EQ(NavTexts(), nav) << "positioning page";
        ClickCategory(CRibbon::kInput);
        m_frame->OnCommand(cmd::kLanguage);
    }
}

} // namespace
} // namespace kv::test
