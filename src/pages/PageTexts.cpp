#include "pages/PageTexts.h"

#include "image/DisplayFormat.h"
#include "image/EqBand.h"

#include <QRegularExpression>

#include <array>
#include <cmath>

namespace kv::pagetext {

namespace {

QString FromStd(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

QString Percent(double value, int) {
    return FromStd(fmt::Percent(static_cast<int>(value)));
}

QString MsInt(double value, int) {
    return FromStd(fmt::MsInt(static_cast<int>(value)));
}

QString ReverbTime(double step, int) {
    return FromStd(fmt::Ms(fmt::ReverbTimeMs(step)));
}

QString ShiftFreq(double hz, int language) {
    if (hz <= 1) {
        return language == 1 ? QStringLiteral("Off") : QStringLiteral("关闭");
    }
    return FromStd(fmt::HzInt(static_cast<int>(hz)));
}

QString SignedDb(double db) {
    return FromStd(fmt::SignedDb(db));
}

QString Hz(double hz) {
    return FromStd(fmt::Hz(hz));
}

QString Q(double q) {
    return FromStd(fmt::Q(q));
}

QString TypeName(int type, int language) {
    // Names for the codes up to the high shelf; crossover sections have none in the list.
    static constexpr std::array<const char*, kFilterHighShelf + 1> kZh = {"关闭", "参量", "低通",
                                                                          "高通", "低架", "高架"};
    static constexpr std::array<const char*, kFilterHighShelf + 1> kEn = {"OFF", "PEQ", "LP",
                                                                          "HP",  "LS",  "HS"};
    const auto i =
        static_cast<std::size_t>(type >= kFilterNone && type <= kFilterHighShelf ? type : 0);
    return QString::fromUtf8(language == 1 ? kEn[i] : kZh[i]);
}

bool LeadingNumber(const QString& text, double& value) {
    static const QRegularExpression number(
        QStringLiteral(R"(^\s*([+-]?(\d+(\.\d*)?|\.\d+)([eE][+-]?\d+)?))"));
    const QRegularExpressionMatch m = number.match(text);
    if (!m.hasMatch()) {
        return false;
    }
    bool ok = false;
    const double v = m.captured(1).toDouble(&ok);
    if (!ok || !std::isfinite(v)) {
        return false;
    }
    value = v;
    return true;
}

} // namespace kv::pagetext
