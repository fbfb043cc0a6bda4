#include "remote/RemoteKeys.h"

namespace kv {

namespace {

// Layout of the drawn remote (220 x 520): power and mute on top, the pitch keys, the
// direction pad with OK, the video menu keys, then three volume rockers.
const std::array<RemoteKey, 17> kKeys = {{
    {1,
     1587,
     "Learning key:Power key",
     "您正在学习的键：启动/待机",
     "POWER",
     {34, 40, 40, 40},
     true},
    {2, 1600, "Learning key: Pitch-", "您正在学习的键：降调", "♭ -", {34, 104, 60, 30}, false},
    {3, 1601, "Learning key: Pitch+ ", "您正在学习的键：升调", "♯ +", {126, 104, 60, 30}, false},
    {4,
     1602,
     "Learning key: M1/Up ",
     "您正在学习的键：M1/方向上",
     "M1 ▲",
     {80, 158, 60, 34},
     false},
    {5,
     1603,
     "Learning key:M4/Down ",
     "您正在学习的键：M4/方向下",
     "M4 ▼",
     {80, 256, 60, 34},
     false},
    {6,
     1604,
     "Learning key: M3/Left ",
     "您正在学习的键：M3/方向左",
     "◀ M3",
     {22, 202, 52, 44},
     false},
    {7,
     1605,
     "Learning key: M2/Right ",
     "您正在学习的键：M2/方向右",
     "M2 ▶",
     {146, 202, 52, 44},
     false},
    {8,
     1606,
     "Learning key: OK/Original Pitch key",
     "您正在学习的键：确认键/原调",
     "OK",
     {84, 200, 52, 48},
     true},
    {9,
     1607,
     "Learning key:  Enter video menu",
     "您正在学习的键：进入视频菜单",
     "MENU",
     {30, 310, 64, 28},
     false},
    {10, 1608, "Learning key:  Mute ", "您正在学习的键：静音键", "MUTE", {146, 40, 40, 40}, true},
    {11,
     1609,
     "Learning key: Esc video menu ",
     "您正在学习的键：退出视频菜单",
     "EXIT",
     {126, 310, 64, 28},
     false},
    {12,
     1610,
     "Learning key: Mic vol increase",
     "您正在学习的键：增大话筒音量",
     "+",
     {24, 372, 48, 40},
     false},
    {13,
     1611,
     "Learning key:Mic vol decrease",
     "您正在学习的键：减小话筒音量",
     "−",
     {24, 420, 48, 40},
     false},
    {14,
     1612,
     "Learning key: Effect vol increase",
     "您正在学习的键：增大效果音量",
     "+",
     {86, 372, 48, 40},
     false},
    {15,
     1613,
     "Learning key: Effect vol decrease",
     "您正在学习的键：减小效果音量",
     "−",
     {86, 420, 48, 40},
     false},
    {16,
     1614,
     "Learning key: Music vol increase",
     "您正在学习的键：增大音乐音量",
     "+",
     {148, 372, 48, 40},
     false},
    {17,
     1615,
     "Learning key: Music vol decrease",
     "您正在学习的键：减小音乐音量",
     "−",
     {148, 420, 48, 40},
     false},
}};

} // namespace

const std::array<RemoteKey, 17>& RemoteKeys() {
    return kKeys;
}

const RemoteKey* RemoteKeyOfHotSpot(int hotSpot) {
    for (const RemoteKey& k : kKeys) {
        if (k.hotSpot == hotSpot) {
            return &k;
        }
    }
    return nullptr;
}

QString RemoteKeyText(const RemoteKey& key, int language) {
    return QString::fromUtf8(language == 0 ? key.zh : key.en);
}

} // namespace kv
