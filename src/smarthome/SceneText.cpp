#include "smarthome/SceneText.h"

#include "smarthome/KeyFile.h"
#include "smarthome/SceneRecord.h"

namespace kv {

QString StepText(int target, int value, bool chinese) {
    if (target == zwave::kDelayTarget) {
        return QString::number(value) + (chinese ? QStringLiteral("秒") : QStringLiteral("s"));
    }
    if (value == zwave::kValueOff) {
        return chinese ? QStringLiteral("关") : QStringLiteral("OFF");
    }
    if (value == zwave::kValueOn) {
        return chinese ? QStringLiteral("开") : QStringLiteral("ON");
    }
    if (value >= zwave::kFirstKeySend && value < zwave::kFirstKeyLearn) {
        return QStringLiteral("遥控键:") + GetKeyName(target, value - zwave::kFirstKeySend);
    }
    if (value > zwave::kValueOff && value < zwave::kValueOn) {
        return QString::number(value / 99.0 * 100.0, 'f', 0);
    }
    return QString::number(value);
}

} // namespace kv
