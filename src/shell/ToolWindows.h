#pragma once

#include "shell/AppState.h"
#include "shell/IShellWindow.h"

#include <functional>

namespace kv {

/// Creates a tool window (a top-level widget that also implements IShellWindow).
using ToolWindowFactory = std::function<QWidget*(QWidget* parent)>;

/// Tool windows register their factories here.
void RegisterToolWindow(ToolWindow which, ToolWindowFactory factory);
bool HasToolWindow(ToolWindow which);

/// Creates the window on its first opening and keeps it; every opening centres it over
/// parent, applies the current language, refreshes it from the image and shows it.
/// Returns the window, or nullptr when this build has no such window.
QWidget* OpenToolWindow(ToolWindow which, QWidget* parent);

/// The open tool windows that show image values (refreshed by RefreshAll).
inline constexpr std::array<ToolWindow, 5> kImageToolWindows = {
    ToolWindow::MachineSettings, ToolWindow::AutoSub, ToolWindow::AutoMusicVol,
    ToolWindow::InputSource, ToolWindow::Loudness};

/// The tool windows a device arrival and the end of the application destroy.
inline constexpr std::array<ToolWindow, 6> kClosableToolWindows = {
    ToolWindow::MachineSettings, ToolWindow::AutoSub,  ToolWindow::AutoMusicVol,
    ToolWindow::RemoteLearning,  ToolWindow::Loudness, ToolWindow::SmartPlug};

/// The tool windows that live until the application ends: a device arrival only hides them.
inline constexpr std::array<ToolWindow, 1> kHiddenOnArrivalToolWindows = {ToolWindow::InputSource};

/// The tool windows whose texts the language switch rewrites, in that order.
inline constexpr std::array<ToolWindow, 7> kLanguageToolWindows = {
    ToolWindow::MachineSettings, ToolWindow::AutoSub,     ToolWindow::AutoMusicVol,
    ToolWindow::Loudness,        ToolWindow::InputSource, ToolWindow::RemoteLearning,
    ToolWindow::SmartPlug};

/// Calls fn for each open tool window of the list that implements IShellWindow.
template <typename List, typename Fn>
void ForEachOpenToolWindow(const List& list, Fn&& fn) {
    for (ToolWindow which : list) {
        if (auto* window = dynamic_cast<IShellWindow*>(GetAppState().OpenWindow(which))) {
            fn(*window);
        }
    }
}

} // namespace kv
