#pragma once

#include "controls/CXBmpSlider.h"
#include "settings/SettingsWindows.h"
#include "shell/SimFixture.h"
#include "shell/ToolWindows.h"

#include <QTest>

#include <cstdlib>

namespace kv::test {

/// The main window on the in-process simulator with the settings windows registered, and
/// unregistered afterwards so that other tests see the shell's own table.
class SettingsWindowFixture : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        RegisterSettingsWindows();
    }
    void TearDown() override {
        SimFixture::TearDown();
        for (ToolWindow w :
             {ToolWindow::MachineSettings, ToolWindow::AutoSub, ToolWindow::AutoMusicVol,
              ToolWindow::InputSource, ToolWindow::Loudness}) {
            RegisterToolWindow(w, nullptr);
        }
    }
};

/// Moves a slider to a value as a person would: drags the thumb to the nearest pixel, then
/// steps with the arrow keys to the exact value (a long range has more values than pixels).
inline void MoveSlider(CXBmpSlider* slider, int value) {
    const QPoint grip = slider->ThumbRect().center();
    QTest::mousePress(slider, Qt::LeftButton, {}, grip);
    const int half = slider->ThumbRect().width() / 2;
    int best = grip.x();
    for (int x = 0; x < slider->width(); ++x) {
        if (std::abs(slider->PixelToValue(x - half) - value) <
            std::abs(slider->PixelToValue(best - half) - value)) {
            best = x;
        }
    }
    QTest::mouseMove(slider, QPoint(best, grip.y()));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(best, grip.y()));
    const Qt::Key up = slider->Vertical() ? Qt::Key_Up : Qt::Key_Right;
    const Qt::Key down = slider->Vertical() ? Qt::Key_Down : Qt::Key_Left;
    for (int guard = 0; slider->Pos() != value && guard < 1000; ++guard) {
        QTest::keyClick(slider, slider->Pos() < value ? up : down);
    }
}

/// Lets a window that was just opened be exposed and laid out (before a picture is taken).
inline void Settle(QWidget* window) {
    (void)QTest::qWaitForWindowExposed(window);
    QTest::qWait(30);
}

} // namespace kv::test
