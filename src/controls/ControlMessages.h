#pragma once

/// Notification numbers of the graphic controls. The controls deliver them as Qt signals;
/// the numbers name which notification a signal stands for, so that hosts and logs can
/// refer to them the way the pages do.
namespace kv {

/// Equaliser panel: a band was pressed, dragged, edited or retyped (band, index).
inline constexpr int UM_EQ_BAND_CHANGED = 0x1421;
/// Equaliser panel: a left click on the empty plot cleared the selection.
inline constexpr int UM_EQ_DESELECT = 0x1422;
/// Equaliser panel: copy (0), paste (1) or reset (2) chosen from the empty-area menu (kind).
inline constexpr int UM_EQ_COPY_PASTE = 0x1423;
/// Equaliser panel: a digit key picked a band (band, index).
inline constexpr int UM_EQ_BAND_PICKED = 0x1424;
/// Hosts treat this number like UM_EQ_BAND_CHANGED; the panel itself never sends it.
inline constexpr int UM_EQ_BAND_SELECTED = 0x1420;

/// Delay panel: a marker was dragged (channel, value in ms).
inline constexpr int UM_DELAY_CHANGED = 4345;

/// Slider: the position changed or was pressed (control id, position).
inline constexpr int UM_SLIDER_CHANGED = 0xBD1;
/// Slider: it gained the keyboard focus (control id, 0).
inline constexpr int UM_SLIDER_FOCUS = 0xBD2;
/// Slider: the button was released, or a key or wheel step ended (control id, position).
inline constexpr int UM_SLIDER_RELEASED = 0xBD3;

} // namespace kv
