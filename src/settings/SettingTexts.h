#pragma once

#include <QString>

/// Value texts of the settings windows, in the field binder's format signature.
namespace kv::settingtext {

QString Percent(double value, int language); ///< "%d%%"
QString Hz(double value, int language);      ///< "%dHz"
QString Db(double value, int language);      ///< "%ddB"
QString Ms(double value, int language);      ///< "%dms"
QString DbWhole(double value, int language); ///< "%.0fdB"
QString MsWhole(double value, int language); ///< "%.0fms"
QString Ratio(double value, int language);   ///< "%.1f:1"

} // namespace kv::settingtext
