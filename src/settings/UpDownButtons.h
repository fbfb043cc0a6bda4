#pragma once

#include <QWidget>

class QToolButton;

namespace kv {

/// A pair of small arrow buttons beside an edit, with a position in a range. A press
/// announces the step first (stepping, +1 up or -1 down, while Pos() still holds the old
/// position), then the position moves by it within the range.
class UpDownButtons : public QWidget {
    Q_OBJECT

public:
    explicit UpDownButtons(QWidget* parent = nullptr);

    void SetRange(int minimum, int maximum);
    void SetPos(int position); ///< limited to the range; announces nothing
    int Pos() const { return m_position; }
    int Minimum() const { return m_minimum; }
    int Maximum() const { return m_maximum; }
    /// A step as a click on an arrow would make it.
    void Step(int delta);

    QToolButton* UpButton() const { return m_up; }
    QToolButton* DownButton() const { return m_down; }

signals:
    void stepping(int delta);

private:
    QToolButton* m_up;
    QToolButton* m_down;
    int m_minimum = 0;
    int m_maximum = 100;
    int m_position = 0;
};

} // namespace kv
