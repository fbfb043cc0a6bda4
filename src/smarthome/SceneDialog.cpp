#include "smarthome/SceneDialog.h"

#include "image/ParamImage.h"
#include "shell/CSynDlg.h"
#include "shell/Language.h"
#include "shell/Shell.h"
#include "smarthome/SceneRunner.h"
#include "smarthome/ZwaveWindows.h"

#include <algorithm>

namespace kv {

namespace {
/// Time the scene thread needs beyond its steps (its messages, a loaded machine).
constexpr int kSceneMarginMs = 5000;
constexpr int kNoticeMs = 1100;
} // namespace

void RunSceneBehindSyncDialog(int request, const QString& text) {
    if (!CheckZwaveConnected()) {
        return;
    }
    g_nSceneRequest.store(request);
    if (!StartSceneThread()) {
        ShowInfo(Tr("情景正在执行，请稍候", "A scene is running, please wait"), kNoticeMs);
        return;
    }
    const auto longest = LongestRun(zwave::ReadScene(GetParamImage(), request));
    const int previous = CSynDlg::TimeoutMs();
    CSynDlg::SetTimeoutMs(std::max(previous, static_cast<int>(longest.count()) + kSceneMarginMs));
    RunSyncDialog(text);
    CSynDlg::SetTimeoutMs(previous);
}

} // namespace kv
