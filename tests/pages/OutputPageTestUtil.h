#pragma once

#include "controls/ControlTestUtil.h"
#include "protocol/RecordingSink.h"

#include "controls/CXBmpSlider.h"
#include "pages/CDlgMsgBox.h"
#include "pages/EditHistory.h"
#include "shell/Language.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

namespace kv::test {

/// Opens a page in English at the minimum page size, its edits recorded on the stack and the
/// page refreshed on undo; ClosePage ends both.
template <typename Page>
void OpenPage(std::unique_ptr<Page>& page, QUndoStack& stack) {
    SetLanguageIndex(kEnglish);
    LoadCurrentLanguageTable();
    SetEditHistory(&stack, [&page] { page->RefreshFromImage(); });
    page = std::make_unique<Page>();
    page->ApplyLanguage();
    ShowAt(*page, 1040, 560);
}

template <typename Page>
void ClosePage(std::unique_ptr<Page>& page) {
    page.reset();
    SetEditHistory(nullptr);
}

/// Drags a slider's thumb with the pointer until it shows the value (when the track has a
/// pixel for it) and releases it.
inline void DragSliderTo(CXBmpSlider& slider, int value) {
    const QRect thumb = slider.ThumbRect();
    const QPoint start = thumb.center();
    // The pixel whose value lies nearest (a long range has more values than pixels).
    int pixel = 0;
    int best = -1;
    for (int p = -slider.width(); p < 2 * slider.width(); ++p) {
        const int distance = std::abs(slider.PixelToValue(p) - value);
        if (best < 0 || distance < best) {
            best = distance;
            pixel = p;
        }
    }
    const QPoint end = slider.Vertical() ? QPoint(start.x(), pixel + thumb.height() / 2)
                                         : QPoint(pixel + thumb.width() / 2, start.y());
    QTest::mousePress(&slider, Qt::LeftButton, Qt::NoModifier, start);
    QTest::mouseMove(&slider, end);
    QTest::mouseRelease(&slider, Qt::LeftButton, Qt::NoModifier, end);
}

/// Clicks a check box or radio button on its indicator, as a person does.
inline void ClickBox(QWidget* box) {
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(8, box->height() / 2));
}

/// Answers the next question box with the button `choice` (1 first, 2 second, 0 Cancel, -1
/// closes it with Escape) and remembers the texts it showed.
struct QuestionAnswer {
    int choice = 0;
    bool asked = false;
    QString message;
    QString first;
    QString second;

    void Arm() {
        QTimer::singleShot(0, [this] { Answer(); });
    }
    void Answer() {
        auto* box = qobject_cast<CDlgMsgBox*>(QApplication::activeModalWidget());
        if (!box) {
            QTimer::singleShot(10, [this] { Answer(); });
            return;
        }
        asked = true;
        message = box->Message()->text();
        first = box->FirstButton()->text();
        second = box->SecondButton()->text();
        switch (choice) {
        case 1:
            QTest::mouseClick(box->FirstButton(), Qt::LeftButton);
            break;
        case 2:
            QTest::mouseClick(box->SecondButton(), Qt::LeftButton);
            break;
        case 0:
            QTest::mouseClick(box->CancelButton(), Qt::LeftButton);
            break;
        default:
            QTest::keyClick(box, Qt::Key_Escape);
            break;
        }
    }
};

/// The parameter commands of (module, item) a sink recorded.
inline std::vector<Recorded> ParamsOf(const RecordingSink& sink, int module, int item) {
    std::vector<Recorded> out;
    for (const Recorded& r : sink.Commands()) {
        if (r.IsParam() && r.Module() == module && r.Item() == item) {
            out.push_back(r);
        }
    }
    return out;
}

/// The parameter commands (module, item) a sink recorded, in order.
inline std::vector<std::pair<int, int>> ParamItems(const RecordingSink& sink) {
    std::vector<std::pair<int, int>> out;
    for (const Recorded& r : sink.Commands()) {
        if (r.IsParam()) {
            out.emplace_back(r.Module(), r.Item());
        }
    }
    return out;
}

} // namespace kv::test
