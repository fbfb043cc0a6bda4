#include "support/FakeHid.h"

#include <chrono>
#include <cstring>
#include <utility>

namespace kv::test {

namespace {
constexpr auto kWait = std::chrono::milliseconds(5000);
constexpr std::uint8_t kAnswerType = 49;
} // namespace

Bytes61 MakeReport(std::initializer_list<int> bytes) {
    Bytes61 r{};
    std::size_t i = 0;
    for (int b : bytes) {
        r[i++] = static_cast<std::uint8_t>(b);
    }
    return r;
}

std::optional<hid::HidAttributes> FakeDevice::Attributes() {
    if (m_attributesFail) {
        return std::nullopt;
    }
    return m_attributes;
}

int FakeDevice::Write(const std::uint8_t* report, std::chrono::milliseconds /*timeout*/) {
    std::lock_guard lock(m_lock);
    if (m_closed || m_failed) {
        return 0;
    }
    Bytes61 bytes;
    std::memcpy(bytes.data(), report, bytes.size());
    m_writes.push_back(bytes);
    if (m_script) {
        for (const Bytes61& r : m_script(bytes)) {
            m_inbound.push_back(r);
        }
    } else if (m_autoAnswer) {
        m_inbound.push_back(MakeReport({1, kAnswerType}));
    }
    m_changed.notify_all();
    return static_cast<int>(hid::kReportBytes);
}

bool FakeDevice::Read(std::uint8_t* report) {
    std::unique_lock lock(m_lock);
    return TakeLocked(lock, report, Clock::time_point::max()) == hid::ReadResult::Report;
}

hid::ReadResult FakeDevice::ReadUntil(std::uint8_t* report, Clock::time_point deadline) {
    std::unique_lock lock(m_lock);
    return TakeLocked(lock, report, deadline);
}

hid::ReadResult FakeDevice::TakeLocked(std::unique_lock<std::mutex>& lock, std::uint8_t* report,
                                       Clock::time_point deadline) {
    m_backForMore = true;
    m_changed.notify_all();
    const auto ready = [this] { return m_closed || m_failed || !m_inbound.empty(); };
    if (deadline == Clock::time_point::max()) {
        m_changed.wait(lock, ready);
    } else if (!m_changed.wait_until(lock, deadline, ready)) {
        return hid::ReadResult::TimedOut;
    }
    if (m_closed || m_failed) {
        return hid::ReadResult::Failed;
    }
    std::memcpy(report, m_inbound.front().data(), hid::kReportBytes);
    m_inbound.pop_front();
    m_backForMore = false;
    return hid::ReadResult::Report;
}

void FakeDevice::Close() {
    std::lock_guard lock(m_lock);
    m_closed = true;
    m_changed.notify_all();
}

void FakeDevice::SetAutoAnswer(bool on) {
    std::lock_guard lock(m_lock);
    m_autoAnswer = on;
}

void FakeDevice::SetScript(Script script) {
    std::lock_guard lock(m_lock);
    m_script = std::move(script);
}

void FakeDevice::Inject(const Bytes61& report) {
    std::lock_guard lock(m_lock);
    m_inbound.push_back(report);
    m_changed.notify_all();
}

void FakeDevice::Fail() {
    std::lock_guard lock(m_lock);
    m_failed = true;
    m_changed.notify_all();
}

bool FakeDevice::WaitIdle(std::size_t writes) {
    std::unique_lock lock(m_lock);
    return m_changed.wait_for(lock, kWait, [&] {
        return m_inbound.empty() && m_backForMore && m_writes.size() >= writes;
    });
}

std::vector<Bytes61> FakeDevice::Writes() const {
    std::lock_guard lock(m_lock);
    return m_writes;
}

bool FakeDevice::Closed() const {
    std::lock_guard lock(m_lock);
    return m_closed;
}

void FakeBackend::Add(const Entry& entry) {
    std::lock_guard lock(m_lock);
    m_entries.push_back(entry);
}

std::vector<std::shared_ptr<FakeDevice>> FakeBackend::Opened() const {
    std::lock_guard lock(m_lock);
    return m_opened;
}

bool FakeBackend::Enumerate(std::vector<hid::HidInterface>& out) {
    std::lock_guard lock(m_lock);
    for (const Entry& e : m_entries) {
        out.push_back({e.path, e.vendorId, e.productId});
    }
    return true;
}

bool FakeBackend::Claims(const std::string& path) const {
    std::lock_guard lock(m_lock);
    for (const Entry& e : m_entries) {
        if (e.path == path) {
            return true;
        }
    }
    return false;
}

std::shared_ptr<hid::HidDevice> FakeBackend::Open(const std::string& path) {
    std::lock_guard lock(m_lock);
    for (const Entry& e : m_entries) {
        if (e.path == path && !e.openFails) {
            auto device = std::make_shared<FakeDevice>(hid::HidAttributes{e.vendorId, e.productId},
                                                       e.attributesFail);
            m_opened.push_back(device);
            return device;
        }
    }
    return nullptr;
}

bool FakeBackend::StartWatching(hid::HidNoticeFn notice) {
    m_hub.Install(std::move(notice));
    return true;
}

} // namespace kv::test
