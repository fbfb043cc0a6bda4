#pragma once

#include <QString>

/// The value texts of the pages, in the binder's format signature (value, language).
namespace kv::pagetext {

QString Percent(double value, int language);   ///< "%d%%"
QString MsInt(double value, int language);     ///< "%dms" of the integer part
QString ReverbTime(double step, int language); ///< "%.0fms" of step x 49.6 + 40
QString ShiftFreq(double hz, int language);    ///< "关闭"/"Off" for 0 and 1, else "%dHz"
QString SignedDb(double db);                   ///< "%+-.1fdB"
QString Hz(double hz);                         ///< "%.0fHz"
QString Q(double q);                           ///< "%.2f"
/// Band type names 0..5 in the list's language: OFF, PEQ, LP, HP, LS, HS.
QString TypeName(int type, int language);
/// The leading number of a cell or box text ("-3.5dB" gives -3.5); false when there is none.
bool LeadingNumber(const QString& text, double& value);

} // namespace kv::pagetext
