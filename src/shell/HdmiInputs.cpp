#include "shell/HdmiInputs.h"

#include "image/ParamImage.h"
#include "shell/Language.h"

namespace kv {

namespace {

constexpr int kMusicInputDialog = 512;
constexpr int kFirstHdmiButton = 1192;

bool IsRs483(const std::u16string& model) {
    return QString::fromStdU16String(model).trimmed().compare(QStringLiteral("RS483"),
                                                              Qt::CaseInsensitive) == 0;
}

} // namespace

QString HdmiInputName(int input) {
    if (input < 0 || input >= kHdmiInputs) {
        return QString::number(input);
    }
    if (IsRs483(GetParamImage().Model())) {
        return input == 0 ? QStringLiteral("Android") : QStringLiteral("HDMI%1").arg(input);
    }
    const QString text =
        CurrentLanguageTable().ControlText(kMusicInputDialog, kFirstHdmiButton + input);
    return text.isEmpty() ? QStringLiteral("HDMI%1").arg(input + 1) : text;
}

} // namespace kv
