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
    const auto n = ParseInt(text);
    if (!n || *n < 1 || *n > kModes) {
        return std::nullopt;
    }
    return static_cast<int>(*n - 1);
}

std::string ModeLabel(int mode) {
    return mode >= 0 && mode < kModes ? "M" + std::to_string(mode + 1) : "--";
}

std::optional<FieldRef> ParseFieldRef(const std::string& text, Io& io) {
    std::string name = text;
    std::optional<long> index;
    if (const auto open = text.find('['); open != std::string::npos) {
        if (text.back() != ']') {
            BadInput(io, "field index must be written FIELD[INDEX]");
            return std::nullopt;
        }
        name = text.substr(0, open);
        index = ParseInt(text.substr(open + 1, text.size() - open - 2));
        if (!index) {
            BadInput(io, "field index must be a whole number");
            return std::nullopt;
        }
    }
    const MainField* field = FindMainField(name);
    if (field == nullptr) {
        BadInput(io, "unknown field '" + name + "' (kvctl fields lists them)");
        return std::nullopt;
    }
    if (!index && field->count > 1) {
        BadInput(io, name + " has " + std::to_string(field->count) + " entries: use " + name +
                         "[0.." + std::to_string(field->count - 1) + "]");
        return std::nullopt;
    }
    const long entry = index.value_or(0);
    if (entry < 0 || entry >= field->count) {
        BadInput(io, name + " has no entry " + std::to_string(entry) + " (entries 0.." +
                         std::to_string(field->count - 1) + ")");
        return std::nullopt;
    }
    return FieldRef{field, static_cast<int>(entry)};
}

bool IsSent(const MainField& field, int entry) {
    const int slot = field.SlotOf(entry);
    for (const ParamRow& row : ParamRows()) {
        if (row.wire == Wire::Dynamics) {
            const DynamicsSlots s = DynamicsSlotsOf(row);
            if (slot == s.threshold || slot == s.ratio || slot == s.attack || slot == s.release) {
                return true;
            }
        } else if (row.field->SlotOf(row.entry) == slot) {
            return true;
        }
    }
    return false;
}

std::optional<std::int32_t> SlotValue(const FieldRef& ref, const std::string& text, Io& io) {
    const std::string name(ref.field->name);
    const auto v = ParseNumber(text);
    if (!v) {
        BadInput(io, "'" + text + "' is not a number (" + name + ")");
        return std::nullopt;
    }
    const FieldLimits* limits = FindFieldLimits(*ref.field);
    if (limits == nullptr) {
        BadInput(io, name + " has no value range");
        return std::nullopt;
    }
    const FieldRange& range = limits->Range(ref.entry);
    if (!range.Contains(*v)) {
        BadInput(io, text + " is out of range for " + name + ": " + range.Describe());
        return std::nullopt;
    }
    if (ref.field->IsFloat()) {
        return std::bit_cast<std::int32_t>(static_cast<float>(*v));
    }
    const auto whole = static_cast<std::int32_t>(std::lround(*v));
    return ref.field->encoding == SlotEncoding::X100Flag ? whole * 100 : whole;
}

double UserValue(const MainField& field, std::int32_t slot) {
    if (field.IsFloat()) {
        return std::bit_cast<float>(slot);
    }
    return field.encoding == SlotEncoding::X100Flag ? (slot != 0 ? 1 : 0) : slot;
}

std::string NumberText(double value) {
    char buffer[32];
    const auto single = static_cast<float>(value);
    const auto res = static_cast<double>(single) == value
                         ? std::to_chars(buffer, buffer + sizeof buffer, single)
                         : std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, res.ptr);
}

} // namespace kv::cli
