#include "settings/UpDownButtons.h"

#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kv {

UpDownButtons::UpDownButtons(QWidget* parent)
    : QWidget(parent), m_up(new QToolButton(this)), m_down(new QToolButton(this)) {
    for (QToolButton* b : {m_up, m_down}) {
        b->setFixedSize(18, 11);
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRepeat(true);
    }
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_up);
    column->addWidget(m_down);
    // Layouts must not squeeze the two arrows onto each other.
    setFixedSize(18, 22);
    connect(m_up, &QToolButton::clicked, this, [this] { Step(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { Step(-1); });
}

void UpDownButtons::SetRange(int minimum, int maximum) {
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
}

void UpDownButtons::SetPos(int position) {
    m_position = std::clamp(position, m_minimum, m_maximum);
}

void UpDownButtons::Step(int delta) {
    emit stepping(delta);
    SetPos(m_position + delta);
}

} // namespace kv
