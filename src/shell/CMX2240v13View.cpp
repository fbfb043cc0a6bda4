#include "shell/CMX2240v13View.h"

#include "image/ParamImage.h"
#include "image/Text.h"
#include "link/ConnectionState.h"
#include "shell/AppState.h"
#include "shell/CDisconnectedPanel.h"
#include "shell/CSynDlg.h"
#include "shell/CWaitDlg.h"
#include "shell/DeviceAdapter.h"
#include "shell/Language.h"
#include "shell/ModeCommands.h"
#include "shell/Shell.h"
#include "shell/ToolWindows.h"
#include "shell/UiServices.h"

#include "link/DebugLog.h"
#include "link/Link.h"

#include <QApplication>
#include <QDebug>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>

namespace kv {

namespace {

constexpr int kAcceptedVersion = 18;
constexpr int kConnectedNoticeMs = 5000;
constexpr int kBusyRetryMs = 2000;
constexpr int kArrivalNoticeMs = 4000;
constexpr int kRemovedNoticeMs = 5000;
constexpr auto kSettlePause = std::chrono::milliseconds(150);

bool AcceptedModel(const QString& model) {
    return model.compare(QLatin1String("KV5930Q"), Qt::CaseInsensitive) == 0 ||
           model.compare(QLatin1String("RS483"), Qt::CaseInsensitive) == 0;
}

} // namespace

CMX2240v13View::CMX2240v13View(QWidget* parent)
    : QWidget(parent), m_layout(new QVBoxLayout(this)),
      m_disconnected(new CDisconnectedPanel(this)),
      m_closing(std::make_shared<std::atomic<bool>>(false)) {
    setObjectName(QStringLiteral("view"));
    setAttribute(Qt::WA_StyledBackground);
    setMinimumSize(kMinWidth, kMinHeight);
    m_disconnected->hide();
    m_layout->setContentsMargins(0, 0, 0, 0);

    m_firstConnect.setSingleShot(true);
    connect(&m_firstConnect, &QTimer::timeout, this, [this] { TryConnect(false); });
    // A processor held by another program sends no arrival when it is let go: look again.
    m_busyRetry.setSingleShot(true);
    m_busyRetry.setInterval(kBusyRetryMs);
    connect(&m_busyRetry, &QTimer::timeout, this, [this] {
        if (!device::IsConnected() && !GetAppState().syncDialog) {
            TryConnect(false);
        }
    });
    connect(&m_statusPoll, &QTimer::timeout, this, &CMX2240v13View::PollStatus);
    m_waitTimer.setSingleShot(true);
    connect(&m_waitTimer, &QTimer::timeout, this, [this] {
        AppState& state = GetAppState();
        if (state.waitDialog) {
            state.waitDialog->RestartTimers();
            return;
        }
        const int operation = m_pendingWait.operation;
        CWaitDlg dialog(
            m_pendingWait.text,
            [this, operation] {
                if (m_hubCancel) {
                    m_hubCancel(operation);
                }
            },
            window());
        if (m_pendingWait.colour) {
            dialog.SetText(m_pendingWait.text, m_pendingWait.colour);
        }
        state.waitDialog = &dialog;
        dialog.exec();
    });
    m_trayTimer.setSingleShot(true);
    connect(&m_trayTimer, &QTimer::timeout, this, &CMX2240v13View::RemoveTrayIcon);
}

CMX2240v13View::~CMX2240v13View() {
    m_closing->store(true);
    device::DetachReceiver();
    RemoveTrayIcon();
}

// --- Notices -----------------------------------------------------------------------------------

void CMX2240v13View::PostNotice(const LinkNotice& notice) {
    // The copy travels with the queued call; a view that is gone drops it.
    QMetaObject::invokeMethod(
        this, [this, notice] { HandleNotice(notice); }, Qt::QueuedConnection);
}

void CMX2240v13View::ShowErrorBox(const std::string& text, const std::string& caption) {
    // Shown later by the user-interface thread: the caller may be the reader.
    QMetaObject::invokeMethod(
        qApp,
        [text, caption] {
            ShowMessage(nullptr, QString::fromStdString(text), QString::fromStdString(caption),
                        BoxIcon::Error);
        },
        Qt::QueuedConnection);
}

void CMX2240v13View::PollStatus() {
    if (!g_bStatusPoll.load() || !g_bPeakOption.load() || !device::IsConnected()) {
        return;
    }
    // The answer comes on the queue's owner thread; the window gets a copy later, if it is
    // still there.
    const QPointer<CMX2240v13View> view(this);
    device::PollStatus([view](const StatusBytes& status) {
        QMetaObject::invokeMethod(
            qApp,
            [view, status] {
                if (view) {
                    emit view->statusReceived(status);
                }
            },
            Qt::QueuedConnection);
    });
}

void CMX2240v13View::HandleNotice(const LinkNotice& notice) {
    std::visit(NoticeVisitor{
                   [this](const notice::SyncFinished& finished) { OnSyncFinished(finished); },
                   [this, &notice](const notice::LearnStatus&) {
                       ForwardToToolWindow(ToolWindow::RemoteStudy, notice);
                   },
                   [this, &notice](const notice::ZwaveEvent&) {
                       ForwardToToolWindow(ToolWindow::SmartPlug, notice);
                   },
                   [this, &notice](const notice::ZwaveSync&) {
                       ForwardToToolWindow(ToolWindow::SmartPlug, notice);
                   },
               },
               notice);
}

void CMX2240v13View::ForwardToToolWindow(ToolWindow which, const LinkNotice& notice) {
    if (auto* sink = dynamic_cast<ILinkNoticeSink*>(GetAppState().OpenWindow(which))) {
        sink->OnLinkNotice(notice);
    }
}

// --- Pages -------------------------------------------------------------------------------------

void CMX2240v13View::ShowPage(PageKind kind, int argument) {
    if (m_page && m_page->Kind() == kind) {
        m_page->SetPageArgument(argument);
        m_page->RefreshFromImage();
        return;
    }
    if (m_page) {
        QWidget* old = m_page->Widget();
        m_page = nullptr;
        m_layout->removeWidget(old);
        delete old;
    }
    m_page = CreatePage(kind, this, argument);
    m_layout->addWidget(m_page->Widget());
    m_page->Widget()->show();
    m_page->ApplyLanguage();
    m_page->RefreshFromImage();
}

// --- Connection --------------------------------------------------------------------------------

void CMX2240v13View::UpdateConnectionState() {
    const bool absent = !device::IsConnected() && !GetAppState().syncDialog;
    if (absent && m_disconnectedLanguage != LanguageIndex()) {
        m_disconnectedLanguage = LanguageIndex();
        m_disconnected->ApplyLanguage();
        PlaceDisconnectedPanel();
    }
    const std::string openFailure = absent ? LastOpenFailure() : std::string();
    if (absent && m_disconnected->SetOpenFailure(QString::fromStdString(openFailure))) {
        PlaceDisconnectedPanel();
    }
    if (!openFailure.empty() && !m_busyRetry.isActive()) {
        m_busyRetry.start();
    }
    if (absent == m_disconnected->isHidden()) {
        m_disconnected->setVisible(absent);
        PlaceDisconnectedPanel();
    }
    if (absent) {
        m_disconnected->raise();
    }
}

void CMX2240v13View::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceDisconnectedPanel();
}

void CMX2240v13View::PlaceDisconnectedPanel() {
    // A card over the upper middle of the page area; the page stays where it is beneath.
    constexpr int kWidth = 720;
    constexpr int kTop = 40;
    const int width = std::min(kWidth, this->width() - 40);
    const int height = m_disconnected->heightForWidth(width);
    m_disconnected->setGeometry((this->width() - width) / 2, kTop, width,
                                height > 0 ? height : m_disconnected->sizeHint().height());
}

void CMX2240v13View::StartConnection() {
    device::AttachReceiver(this);
    m_firstConnect.start(kFirstConnectMs);
}

void CMX2240v13View::OnDeviceChange(bool arrived, const std::string& path) {
    if (m_closing->load()) {
        return;
    }
    const QString qpath = QString::fromStdString(path);
    QMetaObject::invokeMethod(
        this, [this, arrived, qpath] { OnDeviceNotice(arrived, qpath); }, Qt::QueuedConnection);
}

void CMX2240v13View::TryConnect(bool arrival) {
    if (!device::Connect(this)) {
        return;
    }
    if (arrival) {
        CloseToolWindows();
    }
    ShowTrayNotice(Tr("信息", "Information"), Tr("设备已连接，同步中……", "Device connected!"),
                   arrival ? kArrivalNoticeMs : kConnectedNoticeMs);
    DebugWrite("Start thread:SynchronizeData\n");
    device::StartReadAll(this);
    RunSyncDialog(QString());
    if (device::IsConnected()) {
        m_statusPoll.start(kStatusPollMs);
    }
}

void CMX2240v13View::OnDeviceNotice(bool arrival, const QString& path) {
    if (arrival) {
        TryConnect(true);
        return;
    }
    DebugWrite("removed!\n");
    const QString opened = QString::fromStdString(device::OpenedPath());
    if (opened.isEmpty() || path.compare(opened, Qt::CaseInsensitive) != 0) {
        return;
    }
    device::Close();
    m_statusPoll.stop();
    emit statusReceived({});
    CloseSyncDialog();
    ShowTrayNotice(Tr("信息", "Information"), Tr("设备已断开!", "Device Disconnected!"),
                   kRemovedNoticeMs);
}

void CMX2240v13View::Disconnect() {
    if (device::IsConnected()) {
        g_statusRecord.Clear();
        device::SendCommand({138});
        device::Close();
    }
    m_statusPoll.stop();
    emit statusReceived({});
}

void CMX2240v13View::OnSyncFinished(const notice::SyncFinished& finished) {
    CloseSyncDialog();
    if (!device::IsConnected()) {
        // The processor went away during the synchronisation: there is nothing to check,
        // and its model and version were never read.
        RefreshAll();
        return;
    }
    if (ReportSyncProblem(finished)) {
        RefreshAll();
        return;
    }
    const ParamImage& image = GetParamImage();
    const QString model = QString::fromStdU16String(image.Model());
    if (!AcceptedModel(model)) {
        Disconnect();
        // Both models are named, so that the user can tell a wrong device from a wrong
        // program. The model string comes from the device: shown as plain text only.
        ReportRefusal(Tr("机器型号与软件不匹配!\n连接的机器型号: %1\n本软件支持的型号: %2",
                         "The processor model does not match this software!\nModel found: "
                         "%1\nModels this software supports: %2")
                          .arg(model.isEmpty() ? QStringLiteral("--") : model,
                               QStringLiteral("KV5930Q, RS483")));
        return;
    }
    if (image.CommVersion() != kAcceptedVersion) {
        Disconnect();
        ReportRefusal(Tr("机器与软件通信版本不匹配，请使用机器配套软件!",
                         "The communication version of the processor does not match this "
                         "software!"));
        return;
    }
    AppState& state = GetAppState();
    if (state.fileModeSlot >= 0 && state.fileModeSlot <= 3) {
        StoreModeAfterLoad(state.fileModeSlot);
        state.fileModeSlot = -1;
    }
    RefreshAll();
    // The processor settles before the window's next command; the window does not wait.
    device::PauseWrites(kSettlePause);
    ++m_acceptedSyncs;
    emit synchronised();
}

bool CMX2240v13View::ReportSyncProblem(const notice::SyncFinished& finished) {
    const QString count = QString::number(finished.failed);
    switch (finished.end) {
    case notice::SyncEnd::Answered:
    case notice::SyncEnd::Lost: // the removal notice tells the user
        return false;
    case notice::SyncEnd::Incomplete:
        if (finished.kind == notice::SyncKind::WriteAll) {
            ShowMessage(window(),
                        Tr("%1 条指令设备无应答，设备中的参数可能不完整!",
                           "%1 commands got no answer: the processor may hold only part of "
                           "the parameters!")
                            .arg(count),
                        Tr("错误", "Error"), BoxIcon::Error);
            return true;
        }
        break;
    case notice::SyncEnd::NoAnswer:
        break;
    }
    const QString text =
        finished.end == notice::SyncEnd::NoAnswer
            ? Tr("设备无应答! 是否重新读取?", "The processor does not answer! Read again?")
            : Tr("读取不完整: %1 次读取无应答，未读到的参数保持原值。是否重新读取?",
                 "The read was incomplete: %1 reads got no answer, and the values they would "
                 "have brought are unchanged. Read again?")
                  .arg(count);
    if (AskYesNo(window(), text, Tr("错误", "Error"))) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (device::IsConnected()) {
                    device::StartReadAll(this);
                    RunSyncDialog(QString());
                }
            },
            Qt::QueuedConnection);
    }
    return true;
}

void CMX2240v13View::ReportRefusal(const QString& text) {
    emit refused();
    // While one such box is open no second one is shown.
    if (m_refusalShown) {
        return;
    }
    m_refusalShown = true;
    ShowMessage(window(), text, Tr("错误", "Error"), BoxIcon::Error);
    m_refusalShown = false;
}

// --- Notices and dialogs -----------------------------------------------------------------------

void CMX2240v13View::ShowTrayNotice(const QString& title, const QString& text, int ms) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        ShowInfo(text, ms);
        return;
    }
    if (!m_tray) {
        m_tray = new QSystemTrayIcon(QIcon(QStringLiteral(":/app/kvcontrol.svg")), this);
        // Removed after the icon's own signal has returned.
        connect(m_tray, &QSystemTrayIcon::activated, this, &CMX2240v13View::RemoveTrayIcon,
                Qt::QueuedConnection);
        connect(m_tray, &QSystemTrayIcon::messageClicked, this, &CMX2240v13View::RemoveTrayIcon,
                Qt::QueuedConnection);
    }
    m_tray->show();
    m_tray->showMessage(title, text, QSystemTrayIcon::Information, ms);
    m_trayTimer.start(ms);
}

bool CMX2240v13View::TrayIconShown() const {
    return m_tray && m_tray->isVisible();
}

void CMX2240v13View::RemoveTrayIcon() {
    m_trayTimer.stop();
    if (m_tray) {
        m_tray->hide();
        m_tray->deleteLater();
        m_tray = nullptr;
    }
}

void CMX2240v13View::RunSyncDialog(const QString& text) {
    AppState& state = GetAppState();
    if (state.syncDialog) {
        state.syncDialog->raise();
        state.syncDialog->activateWindow();
        return;
    }
    CSynDlg dialog(text, window());
    state.syncDialog = &dialog;
    dialog.exec();
}

void CMX2240v13View::CloseSyncDialog() {
    if (CSynDlg* dialog = GetAppState().syncDialog) {
        dialog->Finish();
    }
}

void CMX2240v13View::ShowWaitDialog(const QString& text, int operation, int node, int value,
                                    int delayMs) {
    m_pendingWait = {text, operation, node, value, std::nullopt};
    if (m_hubSend) {
        m_hubSend(operation, node, value);
    }
    m_waitTimer.start(delayMs);
}

void CMX2240v13View::EndWait(int ms) {
    if (CWaitDlg* dialog = GetAppState().waitDialog) {
        dialog->EndWait(ms);
    }
}

void CMX2240v13View::SetWaitText(const QString& text, std::optional<QColor> colour) {
    m_pendingWait.text = text;
    m_pendingWait.colour = colour;
    if (CWaitDlg* dialog = GetAppState().waitDialog) {
        dialog->SetText(text, colour);
    }
}

void CMX2240v13View::StopPendingWait() {
    m_waitTimer.stop();
}

void CMX2240v13View::CloseWait() {
    m_waitTimer.stop();
    EndWait(0);
}

void CMX2240v13View::SetHubOperations(std::function<void(int, int, int)> send,
                                      std::function<void(int)> cancel) {
    m_hubSend = std::move(send);
    m_hubCancel = std::move(cancel);
}

} // namespace kv
