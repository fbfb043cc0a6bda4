#pragma once

#include <QFont>

/// Fonts of the graphic controls. The faces the controls ask for are Windows faces; each
/// comes with fall-backs so that Latin and Chinese text render well on any desktop.
namespace kv {

enum class FontFace {
    Arial,  ///< Latin labels and read-outs
    SimSun, ///< "宋体", the body text of buttons and panels
    SimHei, ///< "黑体", the large overlay words
};

/// A font of the given face sized in logical pixels, so layouts keep their proportions on
/// any screen density.
QFont ControlFont(FontFace face, int pixelSize, bool bold = false);

} // namespace kv
