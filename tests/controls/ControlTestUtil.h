#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>

namespace kv::test {

/// Shows a widget at a size and waits until the offscreen platform has exposed and
/// activated it, so that QTest pointer and key events go through the window like real ones.
inline void ShowAt(QWidget& w, int width, int height) {
    w.resize(width, height);
    w.show();
    w.activateWindow();
    (void)QTest::qWaitForWindowExposed(&w);
    (void)QTest::qWaitForWindowActive(&w);
}

/// Sends one wheel message with a vertical delta at a point of the widget.
inline bool Wheel(QWidget& w, QPoint pos, int delta) {
    QWheelEvent ev(QPointF(pos), QPointF(w.mapToGlobal(pos)), QPoint(), QPoint(0, delta),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&w, &ev);
    return ev.isAccepted();
}

/// Runs the event loop until the condition holds or the time is up.
template <typename Pred>
bool WaitUntil(Pred pred, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!pred()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QTest::qWait(5);
    }
    return true;
}

/// Moves the pointer with buttons held (QTest tracks the state of its own presses).
inline void Move(QWidget& w, QPoint pos) {
    QTest::mouseMove(&w, pos);
}

} // namespace kv::test
