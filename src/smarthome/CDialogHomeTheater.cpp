#include "smarthome/CDialogHomeTheater.h"

#include "controls/CGdipButton.h"
#include "controls/CTabWnd.h"
#include "link/ConnectionState.h"
#include "link/DebugLog.h"
#include "shell/CSynDlg.h"
#include "shell/DeviceAdapter.h"
#include "shell/Language.h"
#include "shell/Shell.h"
#include "shell/ToolWindows.h"
#include "shell/UiServices.h"
#include "smarthome/CDialogZwaveRemoter.h"
#include "smarthome/CDlgZwaveList.h"
#include "smarthome/CRemoteLearnDlg.h"
#include "smarthome/KeyFile.h"
#include "smarthome/SceneDialog.h"
#include "smarthome/SceneRunner.h"
#include "smarthome/ZwaveDevices.h"
#include "smarthome/ZwaveWindows.h"

#include <QDirIterator>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace kv {

namespace {

constexpr int kTabIds[] = {CDialogHomeTheater::kPlugTabId, CDialogHomeTheater::kSceneTabId,
                           CDialogHomeTheater::kLearnTabId};
/// Power on, power off, then M1..M4: their ids and the scene each runs.
constexpr int kSceneButtonIds[] = {
    CDialogHomeTheater::kPowerOnId, CDialogHomeTheater::kPowerOffId, 1070, 1071, 1072, 1073};

int SceneOfButton(int id) {
    switch (id) {
    case CDialogHomeTheater::kPowerOnId:
        return zwave::kScenePowerOn;
    case CDialogHomeTheater::kPowerOffId:
        return zwave::kScenePowerOff;
    default:
        return id - CDialogHomeTheater::kFirstModeId;
    }
}

/// The synchronisation dialog's text while a scene button's scene runs.
QString SceneWaitText(int id) {
    switch (id) {
    case CDialogHomeTheater::kPowerOnId:
        return Tr("调用开机情景……", "Power on ");
    case CDialogHomeTheater::kPowerOffId:
        return Tr("调用关机情景……", "Power off");
    default:
        return Tr("载入情景中", "Loading scene...");
    }
}

QPushButton* MakeButton(QWidget* parent, int id) {
    auto* button = new QPushButton(parent);
    SetControlId(button, id);
    return button;
}

} // namespace

CDialogHomeTheater::CDialogHomeTheater(QWidget* parent)
    : QDialog(parent), m_tabs(new CTabWnd(this)), m_list(new CDlgZwaveList(this)),
      m_scenes(new CDialogZwaveRemoter(this)), m_keys(new CRemoteLearnDlg(this)),
      m_remove(MakeButton(this, kRemoveId)), m_add(MakeButton(this, kAddId)),
      m_reset(MakeButton(this, kResetId)), m_help(MakeButton(this, kHelpId)) {
    setObjectName(QStringLiteral("smartPlugWindow"));
    setProperty("kvSkin", QStringLiteral("dialog"));
    setStyleSheet(QStringLiteral("QDialog#smartPlugWindow { background: rgb(240, 240, 240); }"));
    setMinimumSize(860, 480);
    SetControlId(m_tabs, kTabAreaId);
    m_tabs->AddPage(CDlgZwaveList::kDialogId, m_list);
    m_tabs->AddPage(CDialogZwaveRemoter::kDialogId, m_scenes);
    m_tabs->AddPage(CRemoteLearnDlg::kDialogId, m_keys);
    m_tabs->LayoutPages();

    auto* tabRow = new QHBoxLayout;
    for (std::size_t i = 0; i < m_tabButtons.size(); ++i) {
        m_tabButtons[i] = MakeButton(this, kTabIds[i]);
        m_tabButtons[i]->setMinimumWidth(110);
        tabRow->addWidget(m_tabButtons[i]);
        connect(m_tabButtons[i], &QPushButton::clicked, this,
                [this, i] { ShowTab(static_cast<int>(i)); });
    }
    tabRow->addStretch(1);

    auto* sceneColumn = new QVBoxLayout;
    for (std::size_t i = 0; i < m_sceneButtons.size(); ++i) {
        auto* button = new CGdipButton(this);
        SetControlId(button, kSceneButtonIds[i]);
        button->SetStdImage(QStringLiteral(":/skins/button_std.svg"));
        button->SetTextColor(Qt::white);
        button->setFixedSize(120, 34);
        m_sceneButtons[i] = button;
        sceneColumn->addWidget(button);
        if (i == 1) {
            sceneColumn->addSpacing(12); // the mode scenes apart from power on and off
        }
        const int id = kSceneButtonIds[i];
        connect(button, &QPushButton::clicked, this,
                [id] { RunSceneBehindSyncDialog(SceneOfButton(id), SceneWaitText(id)); });
    }
    sceneColumn->addStretch(1);

    auto* bottomRow = new QHBoxLayout;
    for (QPushButton* b : {m_remove, m_add, m_reset, m_help}) {
        b->setMinimumWidth(96);
        bottomRow->addWidget(b);
    }
    bottomRow->addStretch(1);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->addLayout(tabRow, 0, 1);
    layout->addLayout(sceneColumn, 1, 0);
    layout->addWidget(m_tabs, 1, 1);
    layout->addLayout(bottomRow, 2, 1);
    layout->setRowStretch(1, 1);
    layout->setColumnStretch(1, 1);

    connect(m_remove, &QPushButton::clicked, this, &CDialogHomeTheater::Remove);
    connect(m_add, &QPushButton::clicked, this, &CDialogHomeTheater::Add);
    connect(m_reset, &QPushButton::clicked, this, &CDialogHomeTheater::Reset);
    connect(m_help, &QPushButton::clicked, this, &CDialogHomeTheater::Help);
    m_readTimer.setSingleShot(true);
    connect(&m_readTimer, &QTimer::timeout, this, &CDialogHomeTheater::ReadHubOnce);
    m_readTimer.start(kReadDelayMs);
    ApplyLanguage();
    ShowTab(kPlugTab);
}

CDialogHomeTheater::~CDialogHomeTheater() {
    StopScene();
    g_bStatusPoll.store(1);
}

void CDialogHomeTheater::ApplyLanguage() {
    setWindowTitle(Tr("智能插座", "Smart plug"));
    const std::pair<QWidget*, std::pair<const char*, const char*>> texts[] = {
        {m_tabButtons[0], {"插座列表", "Plug list"}},
        {m_tabButtons[1], {"情景列表", "Scene list"}},
        {m_tabButtons[2], {"遥控学习", "Learn"}},
        {m_sceneButtons[0], {"开机", "Power ON"}},
        {m_sceneButtons[1], {"关机", "Power OFF"}},
        {m_sceneButtons[2], {"电视", "TV"}},
        {m_sceneButtons[3], {"电影", "Movie"}},
        {m_sceneButtons[4], {"K歌", "Karaoke"}},
        {m_sceneButtons[5], {"音乐", "Music"}},
        {m_remove, {"删除插座", "Remove plug"}},
        {m_add, {"添加插座", "Add plug"}},
        {m_reset, {"复位", "Reset"}},
        {m_help, {"帮助", "Help"}},
    };
    for (const auto& [widget, text] : texts) {
        SetControlText(widget, Tr(text.first, text.second));
    }
    ApplyLanguageTexts(this, kDialogId);
    // The pages share control numbers with this window: their own texts go on last.
    m_list->ApplyLanguage();
    m_scenes->ApplyLanguage();
    m_keys->ApplyLanguage();
}

void CDialogHomeTheater::RefreshFromImage() {
    m_list->RefreshDevices();
    m_scenes->RefreshFromImage();
    m_keys->RefreshFromImage();
}

QPushButton* CDialogHomeTheater::Button(int id) const {
    for (QPushButton* b : m_tabButtons) {
        if (ControlId(b) == id) {
            return b;
        }
    }
    for (CGdipButton* b : m_sceneButtons) {
        if (ControlId(b) == id) {
            return b;
        }
    }
    for (QPushButton* b : {m_remove, m_add, m_reset, m_help}) {
        if (ControlId(b) == id) {
            return b;
        }
    }
    return nullptr;
}

void CDialogHomeTheater::ShowTab(int tab) {
    if (m_tabs->SelectPage(tab) < 0) {
        return;
    }
    for (std::size_t i = 0; i < m_tabButtons.size(); ++i) {
        const bool active = static_cast<int>(i) == tab;
        m_tabButtons[i]->setStyleSheet(active ? QStringLiteral("color: rgb(0, 0, 255);")
                                              : QStringLiteral("color: rgb(0, 0, 0);"));
    }
    if (tab == kSceneTab) {
        m_scenes->RefreshFromImage();
    }
}

int CDialogHomeTheater::CurrentTab() const {
    return m_tabs->CurrentIndex();
}

void CDialogHomeTheater::ReadHubOnce() {
    if (!device::IsConnected() || g_bZWaveSynchronised.load()) {
        return;
    }
    DebugWrite("Start thread:SynchronizeData\n");
    StartZwaveRead();
    RunSyncDialog(Tr("同步插座数据，请稍等……", "synchronize data..."));
}

void CDialogHomeTheater::Remove() {
    if (CheckZwaveConnected()) {
        StartRemoveDevice(Tr("删除设备", "Remove plug"));
    }
}

void CDialogHomeTheater::Add() {
    if (CheckZwaveConnected()) {
        OpenZwaveDeviceDialog(ToolWindow::ZwaveEdit, 0, this);
    }
}

void CDialogHomeTheater::Reset() {
    if (!CheckZwaveConnected()) {
        return;
    }
    DebugWrite("Start thread:SynchronizeData\n");
    // The plugs leave the network: their key names and learned states go with them. The
    // files go first, so that the pages refreshed at the reset's end find none.
    const bool deleted = DeleteAllKeyFiles();
    StartZwaveReset();
    RunSyncDialog(Tr("正在复位，请稍等……", "Resetting, wait a moment"));
    if (!deleted) {
        ShowMessage(this,
                    Tr("部分遥控键文件未能删除", "Some remote key files could not be deleted"),
                    Tr("提示", "Information"), BoxIcon::Warning);
    }
}

void CDialogHomeTheater::Help() {
    ShowMessage(this,
                Tr("插座列表：添加、删除和控制插座。\n"
                   "情景列表：编辑、保存和测试开机、关机和四个模式的情景。\n"
                   "遥控学习：让智能插座学习遥控器的按键。\n"
                   "左侧按钮运行对应的情景。",
                   "Plug list: add, remove and switch plugs.\n"
                   "Scene list: edit, save and test the power-on, power-off and four mode "
                   "scenes.\n"
                   "Learn: teach a smart plug the keys of a remote control.\n"
                   "The buttons on the left run their scenes."),
                Tr("帮助", "Help"), BoxIcon::Information);
}

void CDialogHomeTheater::OnLinkNotice(const LinkNotice& notice) {
    if (const auto* event = std::get_if<notice::ZwaveEvent>(&notice)) {
        ShellZwaveUi ui;
        OnZwaveEvent(ui, *event);
        return;
    }
    const auto* sync = std::get_if<notice::ZwaveSync>(&notice);
    if (!sync) {
        return;
    }
    m_readTimer.stop();
    if (sync->progress != notice::ZwaveProgress::HubTablesRead) {
        DebugWrite("ZWAVE_LOADMODE\n");
        if (sync->progress == notice::ZwaveProgress::SceneEnded) {
            if (CSynDlg* dialog = GetAppState().syncDialog) {
                dialog->Finish();
            }
            RefreshFromImage();
        }
        return;
    }
    DebugWrite("ZWAVE_SYNFINISH\n");
    if (CSynDlg* dialog = GetAppState().syncDialog) {
        dialog->Finish();
    }
    RefreshFromImage();
    if (!g_bZWaveSynchronised.load()) {
        ShowMessage(this,
                    Tr("同步失败！可能智能模块未就绪，请稍等片刻重试！", "Please try again later."),
                    Tr("提示", "Information"), BoxIcon::Information);
    }
}

bool DeleteAllKeyFiles() {
    const QString directory = KeyDirectory();
    if (directory.isEmpty()) {
        return true;
    }
    bool ok = true;
    // Links are deleted as links; the iterator does not follow them out of the folder.
    QDirIterator it(directory, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!QFile::remove(path)) {
            ok = false;
        }
    }
    return ok;
}

void RegisterSmartHomeWindows() {
    RegisterToolWindow(ToolWindow::SmartPlug,
                       [](QWidget* parent) -> QWidget* { return new CDialogHomeTheater(parent); });
    RegisterZwaveWindows();
}

} // namespace kv
