#pragma once

namespace kv {

/// What every page and tool window offers the shell: a refresh from the parameter image and
/// the application of the current language.
class IShellWindow {
public:
    virtual ~IShellWindow() = default;
    /// Shows the values the parameter image holds now.
    virtual void RefreshFromImage() {}
    /// Writes the texts of the current language (window texts and code text pairs).
    virtual void ApplyLanguage() = 0;
};

} // namespace kv
