#pragma once

#include "shell/CMX2240v13View.h"
#include "shell/IShellWindow.h"

#include <QDialog>
#include <QTimer>

namespace kv {

class CDlgZwaveList;

/// The smart-plug window (dialog 479). This build hosts its device list page only: it reads
/// the hub's tables when first opened with a processor, and hands the Z-Wave events and the
/// end of the hub read to the device handling and the page.
class CDialogHomeTheater : public QDialog, public IShellWindow, public IViewMessageSink {
    Q_OBJECT
public:
    static constexpr int kDialogId = 479;
    static constexpr int kReadDelayMs = 200;
    static constexpr std::uintptr_t kHubTablesRead = 8;

    explicit CDialogHomeTheater(QWidget* parent = nullptr);
    /// The status poll, stopped while the window is open, goes on again.
    ~CDialogHomeTheater() override;

    void ApplyLanguage() override;
    void RefreshFromImage() override;
    void OnViewMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
    CDlgZwaveList* DeviceList() const { return m_list; }

private:
    void ReadHubOnce();

    CDlgZwaveList* m_list;
    QTimer m_readTimer; ///< timer 1
};

/// Registers the smart-plug window and the device dialogs as tool windows.
void RegisterSmartHomeWindows();

} // namespace kv
