#pragma once

#include <QColor>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

/// The shell helpers the pages and tool windows use. They act on the main window of the
/// running application and do nothing when there is none.
namespace kv {

class AppSettings;
class ILinkReceiver;

/// Short notice in the information window for ms milliseconds.
void ShowInfo(const QString& text, int ms);
/// A message in the status bar for ms milliseconds (what a load, save, store or recall did).
void ShowStatusMessage(const QString& text, int ms = 10000);
/// How many synchronisations (read-all or write-all) have ended with the processor
/// accepted; a command compares it before and after its synchronisation dialog.
int AcceptedSynchronisations();
/// Tray balloon for ms milliseconds (the information window where there is no tray).
void ShowTrayNotice(const QString& title, const QString& text, int ms);
/// Shows the synchronisation dialog modally until the synchronisation ends or times out.
/// When one is already shown it is brought to front and the call returns at once.
void RunSyncDialog(const QString& text);
/// Sends a hub operation and opens the wait dialog after delayMs.
void ShowWaitDialog(const QString& text, int operation, int node, int value, int delayMs);
/// Ends the wait dialog: at once (ms = 0) or after ms with a full bar.
void EndWait(int ms);
/// The wait dialog's text line, in a colour (none: the ordinary one); kept as the text the
/// dialog will show while it is not shown yet.
void SetWaitText(const QString& text, std::optional<QColor> colour);
/// Stops the pending timer that would open the wait dialog.
void StopPendingWait();
/// Stops the pending timer and closes the wait dialog at once.
void CloseWait();
/// Quick controls, current page and the open tool windows that show image values.
void RefreshAll();
/// Destroys every open tool window; the music source window, which lives for the whole run,
/// is only hidden.
void CloseToolWindows();
/// The settings store of the running application.
AppSettings& Settings();
/// The main window (nullptr before it exists).
QWidget* MainWindow();
/// The view that receives the link's messages (nullptr before it exists).
ILinkReceiver* ViewReceiver();

/// The smart-home hub operations behind the wait dialog: send(operation, node, value) and
/// cancel(operation). Installed by the smart-home part of the application.
struct HubOperations {
    std::function<void(int operation, int node, int value)> send;
    std::function<void(int operation)> cancel;
};
void SetHubOperations(HubOperations operations);

} // namespace kv
