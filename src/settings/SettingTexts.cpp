#include "settings/SettingTexts.h"

#include <cmath>

namespace kv::settingtext {

namespace {

QString WithUnit(double value, const char* unit) {
    // The windows show the integer part, as the slider positions are whole numbers.
    return QString::number(static_cast<long long>(std::trunc(value))) + QLatin1String(unit);
}

} // namespace

QString Percent(double value, int) {
    return WithUnit(value, "%");
}

QString Hz(double value, int) {
    return WithUnit(value, "Hz");
}

QString Db(double value, int) {
    return WithUnit(value, "dB");
}

QString Ms(double value, int) {
    return WithUnit(value, "ms");
}

QString DbWhole(double value, int) {
    return QString::asprintf("%.0fdB", value);
}

QString MsWhole(double value, int) {
    return QString::asprintf("%.0fms", value);
}

QString Ratio(double value, int) {
    return QString::asprintf("%.1f:1", value);
}

} // namespace kv::settingtext
