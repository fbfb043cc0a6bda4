#pragma once

namespace kv {

/// Registers the settings windows with the shell's tool-window table: machine settings, the
/// automatic subwoofer and music level windows, the music source and features windows;
/// and the positioning page with the view's page table.
void RegisterSettingsWindows();

} // namespace kv
