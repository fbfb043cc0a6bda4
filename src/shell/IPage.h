#pragma once

#include "shell/IShellWindow.h"

#include <functional>

class QWidget;

namespace kv {

/// The pages the view can host, one at a time.
enum class PageKind { Main, Effects, Output, Delay, Compressor, Positioning };

/// A page of the view's page area.
class IPage : public IShellWindow {
public:
    virtual PageKind Kind() const = 0;
    virtual QWidget* Widget() = 0;
    /// Main page: the source to show (0 channel A, 1 channel B, 2 music). Output page: the
    /// channel to show. Other pages ignore it.
    virtual void SetPageArgument(int /*argument*/) {}
    /// True for the pages with an equaliser the status bar acts on.
    virtual bool HasEq() const { return false; }
    /// The equaliser kind the page shows (0 mic A .. 6 music, 7..14 CH1..CH8), -1 for none:
    /// where the status bar's filter import and export go.
    virtual int ShownEqKind() const { return -1; }
    /// True when the equaliser the page shows is bypassed.
    virtual bool IsEqBypassed() const { return false; }
    /// Selects band k (0-based) on the page's curve panel.
    virtual void SelectBand(int /*band*/) {}
    /// Sets the shown equaliser's switch to its opposite.
    virtual void ToggleEqSwitch() {}
    /// Resets the shown equaliser (the caller has asked the user).
    virtual void ResetEq() {}
};

/// Creates a page as a child of parent with its argument.
using PageFactory = std::function<IPage*(QWidget* parent, int argument)>;

/// Pages register their factories here; a kind without one gets a placeholder page.
void RegisterPageFactory(PageKind kind, PageFactory factory);
/// A new page of that kind (a placeholder when none is registered).
IPage* CreatePage(PageKind kind, QWidget* parent, int argument);

} // namespace kv
