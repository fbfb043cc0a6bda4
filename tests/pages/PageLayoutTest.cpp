#include "shell/SimFixture.h"

#include "pages/CDialogEfx.h"
#include "pages/CDialogMusic.h"
#include "pages/PageSwitch.h"
#include "shell/CMX2240v13View.h"
#include "shell/CommandIds.h"
#include "shell/Language.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QTableWidget>

namespace kv::test {
namespace {

/// The pages in the main window at the smallest and a large window size, in both languages.
class PageLayoutTest : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        RegisterPages();
        StartConnected();
    }

    /// Every shown control lies inside the page, and every text fits its control.
    void ExpectLaidOut(const QString& where) {
        QWidget* page = m_frame->View()->CurrentPage()->Widget();
        const QRect bounds = page->rect();
        for (QWidget* w : page->findChildren<QWidget*>()) {
            if (!w->isVisibleTo(page) || w->isWindow() || w->width() == 0) {
                continue;
            }
            const QRect r(w->mapTo(page, QPoint(0, 0)), w->size());
            EXPECT_TRUE(bounds.contains(r))
                << where.toStdString() << ": " << w->metaObject()->className() << " "
                << ControlId(w) << " outside the page";
            QString text;
            if (auto* label = qobject_cast<QLabel*>(w); label && !label->wordWrap()) {
                text = label->text();
            } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
                text = button->text();
            }
            if (!text.isEmpty() && !qobject_cast<QGroupBox*>(w)) {
                const int needed = w->fontMetrics().horizontalAdvance(text);
                EXPECT_LE(needed, w->width() + 1)
                    << where.toStdString() << ": text \"" << text.toStdString()
                    << "\" cut off in control " << ControlId(w);
            }
        }
    }

    void Check(const QString& name) {
        for (const QSize size : {QSize(1040, 700), QSize(1600, 1000)}) {
            m_frame->resize(size);
            QTest::qWait(50);
            const QString where =
                name + QStringLiteral(" %1x%2").arg(size.width()).arg(size.height());
            ExpectLaidOut(where);
        }
        m_frame->resize(1040, 700);
        QTest::qWait(50);
        SaveScreenshot(m_frame, name);
    }
};

TEST_F(PageLayoutTest, BothPagesFitInBothLanguages) {
    m_frame->show();
    for (int language = 0; language < 2; ++language) {
        const QString suffix = language == 0 ? QStringLiteral("zh") : QStringLiteral("en");
        m_frame->View()->ShowPage(PageKind::Main, 0);
        auto* main = dynamic_cast<CDialogMusic*>(m_frame->View()->CurrentPage());
        ASSERT_NE(main, nullptr);
        main->SelectBand(2);
        Check(QStringLiteral("page-main-") + suffix);
        m_frame->View()->ShowPage(PageKind::Effects, 2);
        auto* effects = dynamic_cast<CDialogEfx*>(m_frame->View()->CurrentPage());
        ASSERT_NE(effects, nullptr);
        Check(QStringLiteral("page-effects-") + suffix);
        effects->SelectBand(3);
        Check(QStringLiteral("page-effects-band-") + suffix);
        m_frame->OnCommand(cmd::kLanguage);
    }
}

} // namespace
} // namespace kv::test
