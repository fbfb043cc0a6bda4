#pragma once

#include "shell/IPage.h"

namespace kv {

/// Shows a page in the main window's page area once the current event is handled (the page
/// asking may be the one replaced). Does nothing without a main window.
void SwitchPageLater(PageKind kind, int argument);

/// Registers the main page and the effects page with the view.
void RegisterPages();

} // namespace kv
