// The language-table target uses the reader alone, without the application's resources.
#include "shell/ShellResources.h"

namespace kv {

void InitShellResources() {}

} // namespace kv
