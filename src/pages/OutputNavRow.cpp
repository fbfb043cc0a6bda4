#include "pages/OutputNavRow.h"

#include "controls/CGdipButton.h"
#include "pages/PageSwitch.h"
#include "shell/Language.h"

#include <QHBoxLayout>

namespace kv {

namespace {

constexpr int kButtonWidth = 84;
constexpr int kButtonHeight = 30;

/// The built-in texts, in button order (channels, then Location, Delay, Comp).
constexpr std::array<const char*, 11> kBuiltInTexts = {"通道1",    "通道2",    "通道3",   "通道4",
                                                       "通道5",    "通道6",    "通道7",   "通道8",
                                                       "声场定位", "延时调整", "输出压限"};

} // namespace

OutputNavRow::OutputNavRow(PageKind page, QWidget* parent) : QWidget(parent), m_page(page) {
    setObjectName(QStringLiteral("navigationRow"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    std::array<int, 11> ids{};
    for (std::size_t i = 0; i < kChannelIds.size(); ++i) {
        ids[i] = kChannelIds[i];
    }
    ids[8] = kLocationId;
    ids[9] = kDelayId;
    ids[10] = kCompId;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        auto* b = new CGdipButton(QString::fromUtf8(kBuiltInTexts[i]), this);
        SetControlId(b, ids[i]);
        b->SetStdImage(QStringLiteral(":/skins/button_std2.svg"));
        b->SetAltImage(QStringLiteral(":/skins/button_alt.svg"));
        b->SetTextColor(Qt::white);
        QFont font = b->font();
        font.setPixelSize(12);
        b->setFont(font);
        b->setFixedSize(kButtonWidth, kButtonHeight);
        b->setFocusPolicy(Qt::NoFocus);
        m_buttons[i] = b;
        layout->addWidget(b);
        if (i < 8) {
            const int channel = static_cast<int>(i);
            connect(b, &QPushButton::clicked, this, [this, channel] {
                if (m_page == PageKind::Output) {
                    emit channelChosen(channel);
                } else {
                    Open(PageKind::Output, channel);
                }
            });
        }
        if (i == 7) {
            layout->addSpacing(12);
        }
    }
    const std::array<PageKind, 3> kinds = {PageKind::Positioning, PageKind::Delay,
                                           PageKind::Compressor};
    for (std::size_t k = 0; k < kinds.size(); ++k) {
        const PageKind kind = kinds[k];
        connect(m_buttons[8 + k], &QPushButton::clicked, this, [this, kind] {
            if (kind != m_page) {
                Open(kind, 0);
            }
        });
    }
    layout->addStretch(1);
    m_buttons[9]->SetSelected(page == PageKind::Delay);
    m_buttons[10]->SetSelected(page == PageKind::Compressor);
    m_buttons[8]->SetSelected(page == PageKind::Positioning);
}

void OutputNavRow::SetCurrentChannel(int channel) {
    for (int c = 0; c < 8; ++c) {
        ChannelButton(c)->SetSelected(m_page == PageKind::Output && c == channel);
    }
}

CGdipButton* OutputNavRow::ChannelButton(int channel) const {
    return m_buttons[static_cast<std::size_t>(std::clamp(channel, 0, 7))];
}

CGdipButton* OutputNavRow::Button(int id) const {
    for (CGdipButton* b : m_buttons) {
        if (ControlId(b) == id) {
            return b;
        }
    }
    return nullptr;
}

void OutputNavRow::Open(PageKind kind, int argument) {
    // Later: the page that owns this row is destroyed by the switch.
    SwitchPageLater(kind, argument);
}

} // namespace kv
