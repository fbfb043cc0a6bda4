#pragma once

namespace kv {

/// Registers the shell's embedded resources (language tables, icons, style sheet). The
/// shell is a static library, so they are not registered by themselves. Safe to call often.
void InitShellResources();

} // namespace kv
