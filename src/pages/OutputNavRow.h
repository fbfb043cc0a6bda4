#pragma once

#include "shell/IPage.h"

#include <QWidget>

#include <array>

namespace kv {

class CGdipButton;

/// The navigation row the output, delay, compressor and positioning pages share: CH1..CH8
/// (1069, 1072, 1070, 1071, 1076..1079), "Location" 1073, "Delay" 1074 and "Comp" 1075.
/// A channel button opens the output page on that channel (or selects it there); the other
/// three open their page unless it is already shown. The buttons carry their control numbers,
/// so the page's language texts reach them.
class OutputNavRow : public QWidget {
    Q_OBJECT
public:
    static constexpr std::array<int, 8> kChannelIds = {1069, 1072, 1070, 1071,
                                                       1076, 1077, 1078, 1079};
    static constexpr int kLocationId = 1073;
    static constexpr int kDelayId = 1074;
    static constexpr int kCompId = 1075;

    /// The row of a page of that kind.
    OutputNavRow(PageKind page, QWidget* parent);

    /// Draws the button of the current page (and, on the output page, channel c) as selected.
    void SetCurrentChannel(int channel);
    CGdipButton* ChannelButton(int channel) const;
    CGdipButton* Button(int id) const;

signals:
    /// A channel button was pressed on the output page itself.
    void channelChosen(int channel);

private:
    void Open(PageKind kind, int argument);

    PageKind m_page;
    std::array<CGdipButton*, 11> m_buttons{};
};

} // namespace kv
