#pragma once

#include <QRectF>
#include <QString>

#include <array>

namespace kv {

/// One learnable key of the processor's remote: its hot spot on the remote picture, the
/// text the learning window shows, and where the picture draws it.
struct RemoteKey {
    int key;        ///< 1..17, the number sent with the learning request
    int hotSpot;    ///< control number of the hot spot
    const char* en; ///< "Learning key: ..." as the processor's manual words it
    const char* zh;
    const char* face; ///< the text printed on the key
    QRectF area;      ///< on the picture, in units of the base picture (kRemoteBaseSize)
    bool round;
};

inline constexpr int kRemotePictureWidth = 220;
inline constexpr int kRemotePictureHeight = 520;
/// The hidden hot spot that offers no function.
inline constexpr int kUnsupportedHotSpot = 1616;

/// The seventeen keys in key order.
const std::array<RemoteKey, 17>& RemoteKeys();
/// The key of a hot spot, or nullptr.
const RemoteKey* RemoteKeyOfHotSpot(int hotSpot);
/// The learning text of key k in the language given (0 Chinese, 1 English).
QString RemoteKeyText(const RemoteKey& key, int language);

} // namespace kv
