#pragma once

#include <QWidget>

class QToolButton;

namespace kv {

/// A pair of arrow buttons holding a position within a range. A press reports the step
/// (position before it, +1 or -1) before the position moves, so that the owner can act on
/// values outside the control's own range; the control then completes the step within it.
class UpDownControl : public QWidget {
    Q_OBJECT
public:
    explicit UpDownControl(QWidget* parent = nullptr);

    void SetRange(int minimum, int maximum);
    /// Sets the position as it is (the owner decides what it holds).
    void SetPos(int position) { m_position = position; }
    int Pos() const { return m_position; }
    QToolButton* UpButton() const { return m_up; }
    QToolButton* DownButton() const { return m_down; }

signals:
    /// A step is about to move the position (delta +1 or -1).
    void stepping(int position, int delta);

private:
    void Step(int delta);

    QToolButton* m_up;
    QToolButton* m_down;
    int m_minimum = 0;
    int m_maximum = 100;
    int m_position = 0;
};

} // namespace kv
