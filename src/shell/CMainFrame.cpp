#include "shell/CMainFrame.h"

#include "image/ParamImage.h"
#include "link/ConnectionState.h"
#include "pages/EditHistory.h"
#include "pages/ValueNote.h"
#include "shell/AppSettings.h"
#include "shell/AppState.h"
#include "shell/CAboutDlg.h"
#include "shell/CInfoDlg.h"
#include "shell/CMX2240v13View.h"
#include "shell/CRibbon.h"
#include "shell/CSynDlg.h"
#include "shell/CommandIds.h"
#include "shell/DeviceAdapter.h"
#include "shell/FilterImportDialog.h"
#include "shell/Language.h"
#include "shell/ModeCommands.h"
#include "shell/Shell.h"
#include "shell/ToolWindows.h"
#include "shell/UiServices.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTextEdit>
#include <QToolButton>
#include <QUndoStack>

#include <array>
#include <utility>

namespace kv {

namespace {

constexpr int kNoticeMs = 1100;
constexpr int kResetNoticeMs = 2000;
constexpr int kStatusUpdateMs = 250;
constexpr int kValueNoteMs = 5000;
constexpr int kMinCommVersionForMusicVol = 8;

CMainFrame* g_frame = nullptr;

/// Level keys: the key raising the level, the one lowering it, and the level.
struct LevelKey {
    int up;
    int down;
    QuickLevel level;
};
constexpr std::array<LevelKey, 4> kLevelKeys = {{
    {Qt::Key_Q, Qt::Key_A, QuickLevel::Music},
    {Qt::Key_W, Qt::Key_S, QuickLevel::Mic},
    {Qt::Key_E, Qt::Key_D, QuickLevel::Echo},
    {Qt::Key_R, Qt::Key_F, QuickLevel::Reverb},
}};

/// Mute keys and the notice each shows when it mutes.
struct MuteKey {
    int key;
    MuteKind kind;
    const char* zh;
    const char* en;
};
constexpr std::array<MuteKey, 4> kMuteKeys = {{
    {Qt::Key_X, MuteKind::Mic, "话筒已静音", "Mic Muted"},
    {Qt::Key_Z, MuteKind::Music, "音乐已静音", "Music Muted"},
    {Qt::Key_C, MuteKind::Echo, "回声已静音", "Echo muted"},
    {Qt::Key_V, MuteKind::Reverb, "混响已静音", "Reverb muted"},
}};

/// Tool-window buttons and the window each opens.
struct ToolButton {
    int id;
    ToolWindow window;
};
constexpr std::array<ToolButton, 4> kToolButtons = {{
    {cmd::kFeatures, ToolWindow::Loudness},
    {cmd::kSmartPlug, ToolWindow::SmartPlug},
    {cmd::kInputSource, ToolWindow::InputSource},
    {cmd::kRemoteControl, ToolWindow::RemoteLearning},
}};

/// Ribbon buttons that do nothing, or only say "connect first", without a processor.
constexpr std::array<int, 10> kProcessorCommands = {
    cmd::kLoadModeInput, cmd::kLoadModeOutput, cmd::kSaveModeInput, cmd::kSaveModeOutput,
    cmd::kLoadFileInput, cmd::kLoadFileOutput, cmd::kSaveFileInput, cmd::kSaveFileOutput,
    cmd::kMachineReset,  cmd::kRemoteControl,
};

bool IsTextInput(const QWidget* w) {
    if (!w) {
        return false;
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(w)) {
        return combo->isEditable();
    }
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
           qobject_cast<const QTextEdit*>(w) || qobject_cast<const QPlainTextEdit*>(w);
}

bool IsAncestor(const QObject* ancestor, const QObject* child) {
    for (const QObject* o = child ? child->parent() : nullptr; o; o = o->parent()) {
        if (o == ancestor) {
            return true;
        }
    }
    return false;
}

int DigitOf(int key) {
    return key >= Qt::Key_0 && key <= Qt::Key_9 ? key - Qt::Key_0 : -1;
}

} // namespace

CMainFrame::CMainFrame(AppSettings& settings, QWidget* parent)
    : QMainWindow(parent), m_settings(settings), m_ribbon(new CRibbon(this)),
      m_view(new CMX2240v13View(this)), m_connectionPane(new QLabel(this)),
      m_modePane(new QLabel(this)), m_messagePane(new QLabel(this)), m_bypass(new QCheckBox(this)),
      m_resetEq(new QPushButton(this)), m_importFilters(new QPushButton(this)),
      m_exportFilters(new QPushButton(this)), m_undoStack(new QUndoStack(this)),
      m_undo(new QAction(this)), m_redo(new QAction(this)) {
    g_frame = this;
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(QStringLiteral("Controller v2.0.9"));
    setWindowIcon(QIcon(QStringLiteral(":/app/kvcontrol.svg")));
    setMinimumSize(kMinWidth, kMinHeight);
    // Marks the window as this application's, like the property a second start looks for.
    setProperty("KV593 V1.0", 1);
    m_settings.SetApplicationLook(kApplicationLook);
    setAttribute(Qt::WA_InputMethodEnabled, false);

    setMenuWidget(m_ribbon);
    setCentralWidget(m_view);
    BuildStatusBar();
    BuildEditActions();
    // A typed value that was out of range is noted in the status bar.
    SetValueNoteSink([this](const QString& text) { ShowStatusMessage(text, kValueNoteMs); });

    connect(m_ribbon, &CRibbon::command, this, &CMainFrame::OnCommand);
    connect(m_ribbon, &CRibbon::recentFileChosen, this, &CMainFrame::OnRecentFile);
    connect(m_ribbon, &CRibbon::categoryChanged, this, &CMainFrame::OnCategoryChanged);
    connect(m_ribbon->ApplicationMenu(), &QMenu::aboutToShow, this,
            [this] { m_ribbon->SetRecentFiles(m_settings.RecentFiles()); });
    connect(m_view, &CMX2240v13View::synchronised, this, [this] {
        // The image now is the processor's: the edits before it can no longer be undone.
        ClearEditHistory();
        if (!m_pendingFile.isEmpty()) {
            const QString path = std::exchange(m_pendingFile, QString());
            if (!OpenRecentModeFile(this, path)) {
                m_settings.RemoveRecentFile(path);
            }
        }
    });
    connect(&m_statusTimer, &QTimer::timeout, this, &CMainFrame::UpdateStatus);
    m_statusTimer.start(kStatusUpdateMs);
    m_ribbon->SetRecentFiles(m_settings.RecentFiles());
    qApp->installEventFilter(this);
}

CMainFrame::~CMainFrame() {
    SetEditHistory(nullptr);
    SetValueNoteSink(nullptr);
    qApp->removeEventFilter(this);
    if (g_frame == this) {
        g_frame = nullptr;
    }
}

CMainFrame* CMainFrame::Instance() {
    return g_frame;
}

void CMainFrame::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar"));
    bar->setSizeGripEnabled(true);
    SetControlId(m_connectionPane, cmd::kStatusConnection);
    SetControlId(m_modePane, cmd::kStatusMode);
    SetControlId(m_bypass, cmd::kStatusBypass);
    SetControlId(m_resetEq, cmd::kStatusResetEq);
    m_connectionPane->setObjectName(QStringLiteral("connectionPane"));
    m_modePane->setObjectName(QStringLiteral("modePane"));
    m_resetEq->setObjectName(QStringLiteral("resetEqButton"));
    m_bypass->setFocusPolicy(Qt::NoFocus);
    m_resetEq->setFocusPolicy(Qt::NoFocus);
    m_connectionPane->setText(QStringLiteral("USB:未连接"));
    m_connectionPane->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));
    m_modePane->setText(QStringLiteral("当前模式：模式一"));
    auto* separator = new QFrame(this);
    separator->setFrameShape(QFrame::VLine);
    separator->setObjectName(QStringLiteral("statusSeparator"));
    bar->addWidget(m_connectionPane);
    bar->addWidget(separator);
    bar->addWidget(m_modePane);
    m_messagePane->setObjectName(QStringLiteral("messagePane"));
    m_messagePane->setTextInteractionFlags(Qt::TextSelectableByMouse);
    bar->addWidget(m_messagePane, 1);
    m_messageTimer.setSingleShot(true);
    connect(&m_messageTimer, &QTimer::timeout, m_messagePane, &QLabel::clear);
    bar->addPermanentWidget(m_bypass);
    bar->addPermanentWidget(m_resetEq);
    bar->addPermanentWidget(m_importFilters);
    bar->addPermanentWidget(m_exportFilters);
    connect(m_bypass, &QCheckBox::clicked, this, [this] { ToggleBypass(); });
    connect(m_resetEq, &QPushButton::clicked, this, [this] { ResetEq(); });
    m_importFilters->setObjectName(QStringLiteral("importFiltersButton"));
    m_exportFilters->setObjectName(QStringLiteral("exportFiltersButton"));
    m_importFilters->setFocusPolicy(Qt::NoFocus);
    m_exportFilters->setFocusPolicy(Qt::NoFocus);
    connect(m_importFilters, &QPushButton::clicked, this, [this] { ImportFiltersToPage(); });
    auto* formats = new QMenu(m_exportFilters);
    connect(formats->addAction(QStringLiteral("Equalizer APO")), &QAction::triggered, this,
            [this] { ExportFiltersOfPage(ExportFormat::Apo); });
    connect(formats->addAction(QStringLiteral("REW")), &QAction::triggered, this,
            [this] { ExportFiltersOfPage(ExportFormat::Rew); });
    m_exportFilters->setMenu(formats);
    LabelStatusBar();
}

void CMainFrame::LabelStatusBar() {
    m_bypass->setText(Tr("均衡旁路", "Bypass"));
    m_resetEq->setText(Tr("重置均衡", "Reset EQ"));
    m_importFilters->setText(Tr("导入滤波器…", "Import filters…"));
    m_exportFilters->setText(Tr("导出滤波器…", "Export filters…"));
    m_undo->setText(Tr("撤销(&U)", "Undo(&U)"));
    m_redo->setText(Tr("重做(&R)", "Redo(&R)"));
    m_ribbon->SetEditMenuTitle(Tr("编辑", "Edit"));
}

void CMainFrame::BuildEditActions() {
    // Every edit made through a page's field binder (and the ribbon's) is a step of this
    // stack; undoing stores and sends the old value, then every window shows the image again.
    SetEditHistory(m_undoStack, [this] { RefreshAll(); });
    m_undo->setObjectName(QStringLiteral("undoAction"));
    m_redo->setObjectName(QStringLiteral("redoAction"));
    m_undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_redo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    for (QAction* a : {m_undo, m_redo}) {
        a->setShortcutContext(Qt::ApplicationShortcut);
        a->setEnabled(false);
        addAction(a);
        m_ribbon->EditMenu()->addAction(a);
    }
    connect(m_undo, &QAction::triggered, m_undoStack, &QUndoStack::undo);
    connect(m_redo, &QAction::triggered, m_undoStack, &QUndoStack::redo);
    connect(m_undoStack, &QUndoStack::canUndoChanged, m_undo, &QAction::setEnabled);
    connect(m_undoStack, &QUndoStack::canRedoChanged, m_redo, &QAction::setEnabled);
    LabelStatusBar();
}

void CMainFrame::UpdateStatus() {
    const bool connected = device::IsConnected();
    m_connectionPane->setText(connected ? Tr("USB：已连接", "USB:Connected")
                                        : Tr("USB：未连接", "USB:Disconnected"));
    m_connectionPane->setStyleSheet(connected ? QStringLiteral("color: rgb(0, 150, 0);")
                                              : QStringLiteral("color: rgb(220, 0, 0);"));
    // Without a processor there is no current mode to show.
    const int mode = g_nCurrentMode.load();
    const QString label =
        connected && mode >= 0 && mode < 4 ? ModeName(LanguageIndex(), mode) : QStringLiteral("--");
    m_modePane->setText(Tr("当前模式:%1", "Current Mode:%1").arg(label));

    IPage* page = m_view->CurrentPage();
    const bool hasEq = page && page->HasEq();
    m_bypass->setEnabled(hasEq);
    m_bypass->setChecked(hasEq && page->IsEqBypassed());
    m_resetEq->setEnabled(hasEq);
    const bool hasKind = hasEq && page->ShownEqKind() >= 0;
    m_importFilters->setEnabled(hasKind);
    m_exportFilters->setEnabled(hasKind);
    for (const ToolButton& b : kToolButtons) {
        if (QToolButton* button = m_ribbon->Button(b.id)) {
            button->setEnabled(HasToolWindow(b.window));
        }
    }
    EnableProcessorCommands(connected);
    m_view->UpdateConnectionState();
}

void CMainFrame::EnableProcessorCommands(bool connected) {
    const QString why = connected ? QString()
                                  : Tr("未连接设备：连接处理器后才能使用",
                                       "No processor connected: this needs one");
    for (int id : kProcessorCommands) {
        if (QToolButton* button = m_ribbon->Button(id)) {
            // The remote button also needs its window (enabled above only when it exists).
            button->setEnabled(connected && (id != cmd::kRemoteControl || button->isEnabled()));
            button->setToolTip(why);
        }
    }
    for (QAction* action : m_ribbon->ApplicationMenu()->actions()) {
        const int id = action->data().toInt();
        if (id == cmd::kFileOpen || id == cmd::kFileSave || id == cmd::kBackup ||
            id == cmd::kRestore) {
            action->setEnabled(connected);
            action->setToolTip(why);
        }
    }
}

void CMainFrame::OpenBackupWindow(CBackupDlg::Kind kind) {
    if (!device::IsConnected()) {
        kv::ShowInfo(Tr("请先连接机器", "Please connect device"), kNoticeMs);
        return;
    }
    const QString filter = Tr("备份文件(*.kvbackup)", "Backup files(*.kvbackup)");
    const QString path =
        kind == CBackupDlg::Kind::Backup
            ? FileChooser().SaveFile(this, QStringLiteral("kv-backup.kvbackup"),
                                     QStringLiteral("kvbackup"), filter)
            : FileChooser().OpenFile(this, filter);
    if (path.isEmpty()) {
        return;
    }
    auto* window = new CBackupDlg(kind, path, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->open();
}

CInfoDlg* CMainFrame::InfoWindow() const {
    return qobject_cast<CInfoDlg*>(GetAppState().OpenWindow(ToolWindow::Info));
}

void CMainFrame::ShowInfo(const QString& text, int ms) {
    QPointer<QWidget>& slot = GetAppState().Window(ToolWindow::Info);
    if (!slot) {
        slot = new CInfoDlg(this);
    }
    static_cast<CInfoDlg*>(slot.data())->ShowText(text, ms);
}

void CMainFrame::ShowStatusMessage(const QString& text, int ms) {
    m_messagePane->setText(text);
    m_messageTimer.start(ms);
}

void CMainFrame::RefreshAll() {
    m_ribbon->RefreshQuickControls();
    if (IPage* page = m_view->CurrentPage()) {
        page->RefreshFromImage();
    }
    ForEachOpenToolWindow(kImageToolWindows, [](IShellWindow& w) { w.RefreshFromImage(); });
    UpdateStatus();
}

void CMainFrame::CloseToolWindows() {
    for (ToolWindow which : kClosableToolWindows) {
        if (QWidget* window = GetAppState().OpenWindow(which)) {
            delete window;
        }
    }
    for (ToolWindow which : kHiddenOnArrivalToolWindows) {
        if (QWidget* window = GetAppState().OpenWindow(which)) {
            window->hide();
        }
    }
}

void CMainFrame::ApplyLanguage() {
    const bool loaded = LoadCurrentLanguageTable();
    m_ribbon->LabelQuickControls();
    LabelStatusBar();
    if (loaded) {
        ForEachOpenToolWindow(kLanguageToolWindows, [](IShellWindow& w) { w.ApplyLanguage(); });
        if (IPage* page = m_view->CurrentPage()) {
            page->ApplyLanguage();
        }
        if (CInfoDlg* info = InfoWindow()) {
            info->ApplyLanguage();
        }
    }
    UpdateStatus();
}

void CMainFrame::SwitchLanguage() {
    SetLanguageIndex(1 - LanguageIndex());
    m_settings.SetLanguage(LanguageIndex());
    ApplyLanguage();
}

void CMainFrame::OnCategoryChanged(int category) {
    AppState& state = GetAppState();
    if (category == CRibbon::kInput) {
        state.mainPageSource = 0;
        m_view->ShowPage(PageKind::Main, 0);
    } else {
        m_view->ShowPage(PageKind::Output, state.outputPageChannel);
    }
    UpdateStatus();
}

void CMainFrame::OnRecentFile(const QString& path) {
    if (!OpenRecentModeFile(this, path)) {
        m_settings.RemoveRecentFile(path);
        m_ribbon->SetRecentFiles(m_settings.RecentFiles());
    }
}

void CMainFrame::OpenWhenReady(const QString& path) {
    if (device::IsConnected()) {
        if (!OpenRecentModeFile(this, path)) {
            m_settings.RemoveRecentFile(path);
        }
        return;
    }
    // A file named on the command line waits for the processor's read-all, so that the
    // load is not lost when the processor is not connected yet.
    if (QFileInfo::exists(path)) {
        m_pendingFile = path;
    } else {
        OpenRecentModeFile(this, path);
    }
}

void CMainFrame::BringToFront() {
    if (isMinimized()) {
        showNormal();
    }
    show();
    raise();
    activateWindow();
}

void CMainFrame::OpenTool(ToolWindow which) {
    OpenToolWindow(which, this);
}

bool CMainFrame::IsSmartPlugOpen() const {
    const QWidget* plug = GetAppState().OpenWindow(ToolWindow::SmartPlug);
    return plug && plug->isVisible();
}

void CMainFrame::OnCommand(int id) {
    const bool connected = device::IsConnected();
    if (id >= cmd::kRecallFirst && id < cmd::kRecallFirst + 4) {
        RecallModeCommand(this, id - cmd::kRecallFirst);
        return;
    }
    if (id >= cmd::kStoreFirst && id < cmd::kStoreFirst + 4) {
        StoreModeCommand(this, id - cmd::kStoreFirst, false);
        return;
    }
    switch (id) {
    case cmd::kFileOpen:
    case cmd::kLoadFileInput:
    case cmd::kLoadFileOutput:
        OpenModeFile(this);
        m_ribbon->SetRecentFiles(m_settings.RecentFiles());
        break;
    case cmd::kFileSave:
    case cmd::kSaveFileInput:
    case cmd::kSaveFileOutput:
        SaveModeFile(this);
        m_ribbon->SetRecentFiles(m_settings.RecentFiles());
        break;
    case cmd::kBackup:
        OpenBackupWindow(CBackupDlg::Kind::Backup);
        break;
    case cmd::kRestore:
        OpenBackupWindow(CBackupDlg::Kind::Restore);
        break;
    case cmd::kAppExit:
        close();
        break;
    case cmd::kFeatures:
        OpenTool(ToolWindow::Loudness);
        break;
    case cmd::kSmartPlug:
        if (!connected) {
            kv::ShowInfo(Tr("请先连接机器", "Please connect device"), kNoticeMs);
        }
        if (HasToolWindow(ToolWindow::SmartPlug)) {
            g_bStatusPoll.store(0);
            OpenTool(ToolWindow::SmartPlug);
        }
        break;
    case cmd::kInputSource:
        OpenTool(ToolWindow::InputSource);
        break;
    case cmd::kMachineReset:
        if (connected) {
            MachineReset();
        }
        break;
    case cmd::kRemoteControl:
        if (connected) {
            OpenTool(ToolWindow::RemoteLearning);
        }
        break;
    case cmd::kLanguage:
        SwitchLanguage();
        break;
    case cmd::kAppAbout:
        ShowAbout();
        break;
    case cmd::kAutoSub:
        OpenTool(ToolWindow::AutoSub);
        break;
    case cmd::kAutoMusicVol:
        if (GetParamImage().CommVersion() > kMinCommVersionForMusicVol) {
            OpenTool(ToolWindow::AutoMusicVol);
        }
        break;
    default:
        break;
    }
}

void CMainFrame::MachineReset() {
    if (!AskYesNo(
            this,
            Tr("您确定要将机器复位吗? \n机器复位后请手动重启机器.", "Are you sure reset machine? "),
            QStringLiteral("提示"))) {
        return;
    }
    device::SendCommand({104, 170});
    GetAppState().option = kDefaultOptionRecord;
    m_settings.SetQtOption(kDefaultOptionRecord);
    kv::ShowInfo(Tr("请手动重启……", "Please restart……"), kResetNoticeMs);
}

void CMainFrame::ShowAbout() {
    CAboutDlg about(this);
    about.exec();
}

void CMainFrame::ToggleBypass() {
    if (IPage* page = m_view->CurrentPage(); page && page->HasEq()) {
        page->ToggleEqSwitch();
    }
    UpdateStatus();
}

void CMainFrame::ResetEq() {
    IPage* page = m_view->CurrentPage();
    if (!page || !page->HasEq()) {
        return;
    }
    if (AskYesNo(this, Tr("您确定重置当前均衡吗?", "Are you sure reset the EQ?"),
                 QStringLiteral("提示"))) {
        page->ResetEq();
    }
    UpdateStatus();
}

void CMainFrame::ImportFiltersToPage() {
    IPage* page = m_view->CurrentPage();
    if (!page || !page->HasEq() || page->ShownEqKind() < 0) {
        return;
    }
    if (ImportFilters(this, page->ShownEqKind())) {
        RefreshAll();
    }
    UpdateStatus();
}

void CMainFrame::ExportFiltersOfPage(ExportFormat format) {
    IPage* page = m_view->CurrentPage();
    if (page && page->HasEq() && page->ShownEqKind() >= 0) {
        ExportFilters(this, page->ShownEqKind(), format);
    }
}

bool CMainFrame::HandleKeyRelease(QKeyEvent* event) {
    const int key = event->key();
    const bool ctrl = (event->modifiers() & Qt::ControlModifier) != 0;
    const AppState& state = GetAppState();
    const bool modal = QApplication::activeModalWidget() != nullptr;

    if (key == Qt::Key_F7) {
        if (!state.syncDialog && !modal) {
            OpenTool(ToolWindow::MachineSettings);
        }
        return true;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F4) {
        if (device::IsConnected() && !state.syncDialog && !modal && !IsSmartPlugOpen()) {
            const int m = key - Qt::Key_F1;
            if (ctrl) {
                StoreModeCommand(this, m, true);
            } else {
                RecallModeCommand(this, m);
            }
        }
        return true;
    }
    if (const int digit = DigitOf(key); digit >= 0) {
        if (ctrl) {
            if (IPage* page = m_view->CurrentPage(); page && page->HasEq()) {
                page->SelectBand(digit == 0 ? 9 : digit - 1);
            }
        }
        return false;
    }
    // Letter keys would otherwise fire while the user types into a text field.
    if (IsTextInput(QApplication::focusWidget())) {
        return false;
    }
    for (const LevelKey& k : kLevelKeys) {
        if (key == k.up || key == k.down) {
            const int value = GetParamImage().Slot(QuickLevelOf(k.level).field->slot);
            const int step = ctrl ? 1 : (value < 50 ? 5 : 2);
            m_ribbon->StepLevel(k.level, key == k.up ? step : -step);
            return false;
        }
    }
    for (const MuteKey& k : kMuteKeys) {
        if (key == k.key) {
            if (m_ribbon->ToggleMute(k.kind)) {
                kv::ShowInfo(Tr(k.zh, k.en), kNoticeMs);
            }
            return false;
        }
    }
    if (key == Qt::Key_P) {
        ToggleBypass();
    }
    return false;
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyRelease || !watched->isWidgetType()) {
        return QMainWindow::eventFilter(watched, event);
    }
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->isAutoRepeat()) {
        return false;
    }
    // An ignored key event travels on to the parents of its receiver, passing this filter
    // again each time: handle it once.
    if (event == m_lastKey && m_lastKeyReceiver && IsAncestor(watched, m_lastKeyReceiver)) {
        m_lastKeyReceiver = watched;
        return m_lastKeyConsumed;
    }
    m_lastKey = event;
    m_lastKeyReceiver = watched;
    m_lastKeyConsumed = HandleKeyRelease(key);
    return m_lastKeyConsumed;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (g_bParamChanged.load()) {
        const BoxAnswer answer = MessageBoxes().Show(
            this,
            Tr("参数已改动，请问是否需要保存?\r\n提示：保存成电脑文件并同时保存至机器的当前模式",
               "parameter value is changed, do you want save it ?"),
            Tr("保存?", "Save?"), BoxButtons::YesNoCancel, BoxIcon::Question);
        if (answer == BoxAnswer::Cancel) {
            event->ignore();
            return;
        }
        if (answer == BoxAnswer::Yes) {
            // Cancelling the file dialog, or a file that cannot be written, keeps the window
            // open: closing would lose the changes the user just asked to keep.
            const QString path = FileChooser().SaveFile(this, ProposedModeFileName(),
                                                        QStringLiteral("amod"), ModeFileFilter());
            if (path.isEmpty() || !StoreAndWriteModeFile(this, path)) {
                event->ignore();
                return;
            }
            m_settings.AddRecentFile(path);
        }
    }
    m_view->Disconnect();
    CloseToolWindows();
    for (ToolWindow which : kHiddenOnArrivalToolWindows) {
        delete GetAppState().OpenWindow(which);
    }
    if (QWidget* info = GetAppState().OpenWindow(ToolWindow::Info)) {
        info->close();
    }
    m_statusTimer.stop();
    event->accept();
}

// --- Shell helpers -------------------------------------------------------------------------

void ShowInfo(const QString& text, int ms) {
    if (g_frame) {
        g_frame->ShowInfo(text, ms);
    }
}

void ShowStatusMessage(const QString& text, int ms) {
    if (g_frame) {
        g_frame->ShowStatusMessage(text, ms);
    }
}

int AcceptedSynchronisations() {
    return g_frame ? g_frame->View()->AcceptedSyncs() : 0;
}

void ShowTrayNotice(const QString& title, const QString& text, int ms) {
    if (g_frame) {
        g_frame->View()->ShowTrayNotice(title, text, ms);
    }
}

void RunSyncDialog(const QString& text) {
    // A mode recall, a file load or a write-all replaces the image.
    ClearEditHistory();
    if (g_frame) {
        g_frame->View()->RunSyncDialog(text);
    }
}

void ShowWaitDialog(const QString& text, int operation, int node, int value, int delayMs) {
    if (g_frame) {
        g_frame->View()->ShowWaitDialog(text, operation, node, value, delayMs);
    }
}

void EndWait(int ms) {
    if (g_frame) {
        g_frame->View()->EndWait(ms);
    }
}

void SetWaitText(const QString& text, std::optional<QColor> colour) {
    if (g_frame) {
        g_frame->View()->SetWaitText(text, colour);
    }
}

void StopPendingWait() {
    if (g_frame) {
        g_frame->View()->StopPendingWait();
    }
}

void CloseWait() {
    if (g_frame) {
        g_frame->View()->CloseWait();
    }
}

void RefreshAll() {
    if (g_frame) {
        g_frame->RefreshAll();
    }
}

void CloseToolWindows() {
    if (g_frame) {
        g_frame->CloseToolWindows();
    }
}

AppSettings& Settings() {
    if (g_frame) {
        return g_frame->Settings();
    }
    // Before the main window exists (and in tools without one) the platform store is used.
    static AppSettings fallback;
    return fallback;
}

QWidget* MainWindow() {
    return g_frame;
}

ILinkReceiver* ViewReceiver() {
    return g_frame ? g_frame->View() : nullptr;
}

void SetHubOperations(HubOperations operations) {
    if (g_frame) {
        g_frame->View()->SetHubOperations(std::move(operations.send), std::move(operations.cancel));
    }
}

} // namespace kv
