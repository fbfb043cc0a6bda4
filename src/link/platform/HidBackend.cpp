#include "link/platform/HidBackend.h"

#include "link/platform/HidapiBackend.h"
#include "link/platform/VirtualBusBackend.h"

#include <algorithm>
#include <mutex>

namespace kv::hid {

namespace {

struct Registry {
    std::mutex lock; ///< guards backends and initialised
    HidBackendList backends;
    bool initialised = false;
};

Registry& GetRegistry() {
    static Registry* registry = new Registry; // outlives threads still running at exit
    return *registry;
}

} // namespace

HidBackendList DefaultHidBackends() {
    return {std::make_shared<HidapiBackend>(), std::make_shared<VirtualBusBackend>()};
}

HidBackendList HidBackends() {
    Registry& r = GetRegistry();
    std::lock_guard lock(r.lock);
    if (!r.initialised) {
        r.backends = DefaultHidBackends();
        r.initialised = true;
    }
    return r.backends;
}

void SetHidBackends(HidBackendList backends) {
    Registry& r = GetRegistry();
    HidBackendList old;
    HidBackendList current = backends;
    {
        std::lock_guard lock(r.lock);
        old = std::move(r.backends);
        r.backends = std::move(backends);
        r.initialised = true;
    }
    for (const auto& b : old) {
        if (std::find(current.begin(), current.end(), b) == current.end()) {
            b->StopWatching();
        }
    }
}

void AddHidBackend(std::shared_ptr<HidBackend> backend) {
    HidBackendList list = HidBackends();
    list.push_back(std::move(backend));
    SetHidBackends(std::move(list));
}

namespace {
thread_local std::string t_lastOpenError;
} // namespace

std::string LastOpenError() {
    return t_lastOpenError;
}

void SetLastOpenError(std::string message) {
    t_lastOpenError = std::move(message);
}

std::shared_ptr<HidDevice> OpenHidPath(const std::string& path) {
    t_lastOpenError.clear();
    for (const auto& backend : HidBackends()) {
        if (backend->Claims(path)) {
            return backend->Open(path);
        }
    }
    return nullptr;
}

} // namespace kv::hid
