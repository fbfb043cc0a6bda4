#include "shell/ShellResources.h"

#include <QtGlobal>

#include <mutex>

// Q_INIT_RESOURCE must be used outside any namespace.
static void RegisterShellResources() {
    Q_INIT_RESOURCE(app);
    Q_INIT_RESOURCE(lang);
}

namespace kv {

void InitShellResources() {
    static std::once_flag once;
    std::call_once(once, RegisterShellResources);
}

} // namespace kv
