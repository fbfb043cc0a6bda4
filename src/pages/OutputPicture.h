#pragma once

#include <QPixmap>
#include <QSize>

namespace kv {

/// The size of the output page's channel picture.
QSize OutputPictureSize();
/// The channel picture: the room from above with the eight speakers where the channels stand
/// by default, channel c highlighted and named in the language (0 Chinese, 1 English).
QPixmap OutputPicture(int channel, int language, qreal dpr);

} // namespace kv
