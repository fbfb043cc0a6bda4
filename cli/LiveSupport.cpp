#include "LiveSupport.h"

#include "LiveSession.h"
#include "image/FieldLimits.h"
#include "image/ParamImage.h"
#include "link/platform/HidBackend.h"
#include "protocol/ParamTable.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <ostream>

namespace kv::cli {

namespace {

/// A backend that shows only one path of another backend: --device PATH.
class OnePathBackend final : public hid::HidBackend {
public:
    OnePathBackend(std::shared_ptr<hid::HidBackend> inner, std::string path)
        : m_inner(std::move(inner)), m_path(std::move(path)) {}

    std::string_view Name() const override { return m_inner->Name(); }
    bool Enumerate(std::vector<hid::HidInterface>& out) override {
        std::vector<hid::HidInterface> all;
        const bool listed = m_inner->Enumerate(all);
        for (auto& i : all) {
            if (i.path == m_path) {
                out.push_back(std::move(i));
            }
        }
        return listed;
    }
    bool Claims(const std::string& path) const override {
        return path == m_path && m_inner->Claims(path);
    }
    std::shared_ptr<hid::HidDevice> Open(const std::string& path) override {
        return path == m_path ? m_inner->Open(path) : nullptr;
    }
    bool StartWatching(hid::HidNoticeFn notice) override {
        return m_inner->StartWatching(std::move(notice));
    }
    void StopWatching() override { m_inner->StopWatching(); }

private:
    std::shared_ptr<hid::HidBackend> m_inner;
    std::string m_path;
};

/// Narrows the backends in use to one path while it lives.
class DeviceChoice {
public:
    explicit DeviceChoice(const std::string& path) : m_previous(hid::HidBackends()) {
        hid::HidBackendList narrowed;
        for (const auto& backend : m_previous) {
            narrowed.push_back(std::make_shared<OnePathBackend>(backend, path));
        }
        hid::SetHidBackends(std::move(narrowed));
    }
    ~DeviceChoice() { hid::SetHidBackends(m_previous); }
    DeviceChoice(const DeviceChoice&) = delete;
    DeviceChoice& operator=(const DeviceChoice&) = delete;

    static bool Present(const std::string& path) {
        for (const auto& backend : hid::HidBackends()) {
            std::vector<hid::HidInterface> all;
            backend->Enumerate(all);
            for (const auto& i : all) {
                if (i.path == path) {
                    return true;
                }
            }
        }
        return false;
    }

private:
    hid::HidBackendList m_previous;
};

} // namespace

int RunLive(Io& io, const std::function<int(LiveSession&)>& body) {
    LiveSession session(CurrentLiveOptions(), io);
    if (const int code = session.Prepare(); code != kExitOk) {
        return code;
    }
    const std::string& device = CurrentLiveOptions().device;
    if (!device.empty() && !DeviceChoice::Present(device)) {
        io.err << "kvctl: no device " << device << " (kvctl list shows the processors found)\n";
        return kExitNoProcessor;
    }
    // Declared after the session, so the backends are restored before the session goes.
    std::optional<DeviceChoice> choice;
    if (!device.empty()) {
        choice.emplace(device);
    }
    if (const int code = session.Open(); code != kExitOk) {
        return code;
    }
    const int code = body(session);
    if (const int lost = session.CheckLink(); lost != kExitOk) {
        return lost;
    }
    session.Close();
    return code;
}

std::optional<int> ParseMode(const std::string& text) {
    // "M2" as the window shows the mode, or the number alone.
    const bool labelled = text.size() > 1 && (text[0] == 'M' || text[0] == 'm');
    const auto n = ParseInt(labelled ? text.substr(1) : text);
    if (!n || *n < 1 || *n > kModes) {
        return std::nullopt;
    }
    return static_cast<int>(*n - 1);
}

std::string ModeLabel(int mode) {
    return mode >= 0 && mode < kModes ? "M" + std::to_string(mode + 1) : "--";
}

} // namespace kv::cli
