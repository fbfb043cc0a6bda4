#include "smarthome/CDialogHomeTheater.h"

#include "link/ConnectionState.h"
#include "link/DebugLog.h"
#include "shell/CSynDlg.h"
#include "shell/DeviceAdapter.h"
#include "shell/Language.h"
#include "shell/Shell.h"
#include "shell/ToolWindows.h"
#include "shell/UiServices.h"
#include "smarthome/CDlgZwaveList.h"
#include "smarthome/ZwaveDevices.h"
#include "smarthome/ZwaveWindows.h"

#include <QVBoxLayout>

namespace kv {

CDialogHomeTheater::CDialogHomeTheater(QWidget* parent)
    : QDialog(parent), m_list(new CDlgZwaveList(this)) {
    setObjectName(QStringLiteral("smartPlugWindow"));
    setProperty("kvSkin", QStringLiteral("dialog"));
    setMinimumSize(520, 380);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list);
    m_readTimer.setSingleShot(true);
    connect(&m_readTimer, &QTimer::timeout, this, &CDialogHomeTheater::ReadHubOnce);
    m_readTimer.start(kReadDelayMs);
    ApplyLanguage();
}

CDialogHomeTheater::~CDialogHomeTheater() {
    g_bStatusPoll.store(1);
}

void CDialogHomeTheater::ApplyLanguage() {
    setWindowTitle(Tr("智能插座", "Smart plug"));
    ApplyLanguageTexts(this, kDialogId);
    m_list->ApplyLanguage();
}

void CDialogHomeTheater::RefreshFromImage() {
    m_list->RefreshDevices();
}

void CDialogHomeTheater::ReadHubOnce() {
    if (!device::IsConnected() || g_bZWaveSynchronised.load()) {
        return;
    }
    DebugWrite("Start thread:SynchronizeData\n");
    StartZwaveRead();
    RunSyncDialog(Tr("同步插座数据，请稍等……", "synchronize data..."));
}

void CDialogHomeTheater::OnViewMessage(unsigned message, std::uintptr_t wParam,
                                       std::intptr_t lParam) {
    if (message == WM_ZWAVE_EVENT) {
        ShellZwaveUi ui;
        OnZwaveEventMessage(ui, wParam, lParam);
        return;
    }
    if (message != WM_ZWAVE_SYNC || wParam != kHubTablesRead) {
        return;
    }
    DebugWrite("ZWAVE_SYNFINISH\n");
    if (CSynDlg* sync = GetAppState().syncDialog) {
        sync->Finish();
    }
    RefreshFromImage();
    if (!g_bZWaveSynchronised.load()) {
        ShowMessage(this,
                    Tr("同步失败！可能智能模块未就绪，请稍等片刻重试！", "Please try again later."),
                    Tr("提示", "Information"), BoxIcon::Information);
    }
}

void RegisterSmartHomeWindows() {
    RegisterToolWindow(ToolWindow::SmartPlug,
                       [](QWidget* parent) -> QWidget* { return new CDialogHomeTheater(parent); });
    RegisterZwaveWindows();
}

} // namespace kv
