#pragma once

#include "link/LinkReceiver.h"
#include "protocol/DeviceQueue.h"
#include "shell/IPage.h"

#include <QColor>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QSystemTrayIcon;
class QVBoxLayout;

namespace kv {

class CDisconnectedPanel;
enum class ToolWindow;

/// Tool windows that take the link's notices meant for them implement this (UI thread).
class ILinkNoticeSink {
public:
    virtual ~ILinkNoticeSink() = default;
    virtual void OnLinkNotice(const LinkNotice& notice) = 0;
};

/// The client area of the main window. It hosts one page at a time, receives the link's
/// notices on the user-interface thread, follows the processor's arrival and removal, and
/// owns the timers of the connection and the status poll.
class CMX2240v13View : public QWidget, public ILinkReceiver {
    Q_OBJECT
public:
    static constexpr int kFirstConnectMs = 250;
    static constexpr int kStatusPollMs = 300;
    static constexpr int kMinWidth = 1024;
    static constexpr int kMinHeight = 520;

    explicit CMX2240v13View(QWidget* parent = nullptr);
    ~CMX2240v13View() override;

    // --- ILinkReceiver (any thread) --------------------------------------------------------
    /// Queues a copy for the UI thread (HandleNotice); never waits.
    void PostNotice(const LinkNotice& notice) override;
    void ShowErrorBox(const std::string& text, const std::string& caption) override;
    void OnDeviceChange(bool arrived, const std::string& path) override;

    // --- Pages -------------------------------------------------------------------------------
    /// Shows a page of that kind: the current one with the new argument when it is of that
    /// kind already, otherwise a new page replacing the current one.
    void ShowPage(PageKind kind, int argument);
    IPage* CurrentPage() const { return m_page; }

    // --- Connection ---------------------------------------------------------------------------
    /// Starts timer 1, the first connection attempt; it also starts the device notices.
    void StartConnection();
    /// Connects to a processor if one is present: arrival closes the tool windows first.
    void TryConnect(bool arrival);
    /// A device arrival or removal notice (UI thread).
    void OnDeviceNotice(bool arrival, const QString& path);
    /// Says goodbye to the processor (command 138) and closes it; stops the status poll.
    void Disconnect();
    bool StatusPollActive() const { return m_statusPoll.isActive(); }
    /// Shows the disconnected notice over the page area while no processor is connected
    /// (and none is being read), in the current language.
    void UpdateConnectionState();
    CDisconnectedPanel* DisconnectedPanel() const { return m_disconnected; }
    /// How many synchronisations ended with the processor accepted (counts up).
    int AcceptedSyncs() const { return m_acceptedSyncs; }

    // --- Shell helpers -------------------------------------------------------------------------
    void ShowTrayNotice(const QString& title, const QString& text, int ms);
    bool TrayIconShown() const;
    void RunSyncDialog(const QString& text);
    /// Tells the user when the synchronisation got no answer or only part of them, offering
    /// to read again; true when it did.
    bool ReportSyncProblem(const notice::SyncFinished& finished);
    void CloseSyncDialog();
    void ShowWaitDialog(const QString& text, int operation, int node, int value, int delayMs);
    void EndWait(int ms);
    void SetWaitText(const QString& text, std::optional<QColor> colour);
    void StopPendingWait();
    void CloseWait();
    void SetHubOperations(std::function<void(int, int, int)> send, std::function<void(int)> cancel);

signals:
    /// The read-all or write-all ended and the processor was accepted (the image is fresh).
    void synchronised();
    /// A synchronisation ended with a refused processor.
    void refused();
    /// The answer to a status poll (a copy), or all zeros once the processor is gone.
    void statusReceived(const kv::StatusBytes& status);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void PlaceDisconnectedPanel();
    /// A notice on the UI thread: a synchronisation's end is checked here, the rest goes to
    /// the tool window it is meant for, if that one is open.
    void HandleNotice(const LinkNotice& notice);
    void OnSyncFinished(const notice::SyncFinished& finished);
    void ReportRefusal(const QString& text);
    void RemoveTrayIcon();
    void ForwardToToolWindow(ToolWindow which, const LinkNotice& notice);
    void PollStatus();

    QVBoxLayout* m_layout;
    IPage* m_page = nullptr;
    QTimer m_firstConnect; ///< timer 1
    QTimer m_statusPoll;   ///< timer 3
    QTimer m_waitTimer;    ///< timer 5
    QTimer m_trayTimer;    ///< timer 990
    QTimer m_busyRetry;    ///< tries again while another program has the processor
    QSystemTrayIcon* m_tray = nullptr;
    CDisconnectedPanel* m_disconnected;
    int m_disconnectedLanguage = -1;
    int m_acceptedSyncs = 0;
    bool m_refusalShown = false;
    std::shared_ptr<std::atomic<bool>> m_closing;

    struct PendingWait {
        QString text;
        int operation = 0;
        int node = 0;
        int value = 0;
        std::optional<QColor> colour;
    } m_pendingWait;
    std::function<void(int, int, int)> m_hubSend;
    std::function<void(int)> m_hubCancel;
};

} // namespace kv
