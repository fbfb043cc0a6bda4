#pragma once

#include "link/platform/HidBackend.h"
#include "link/platform/NoticeHub.h"

#include <array>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kv::test {

using Bytes61 = std::array<std::uint8_t, hid::kReportBytes>;

/// A scripted HID device: records what the link writes and delivers the reports a test
/// hands it. It can answer every write by itself (lock-step) or stay silent.
class FakeDevice : public hid::HidDevice {
public:
    FakeDevice(hid::HidAttributes attributes, bool attributesFail)
        : m_attributes(attributes), m_attributesFail(attributesFail) {}

    std::optional<hid::HidAttributes> Attributes() override;
    int Write(const std::uint8_t* report, std::chrono::milliseconds timeout) override;
    bool Read(std::uint8_t* report) override;
    hid::ReadResult ReadUntil(std::uint8_t* report, Clock::time_point deadline) override;
    void Close() override;

    /// Answer every write with a report of type 49.
    void SetAutoAnswer(bool on);
    /// The reports the device sends for one write, in order (called with the device's lock
    /// held: it must not call the device).
    using Script = std::function<std::vector<Bytes61>(const Bytes61& written)>;
    /// Answers every write with what script returns for it instead (empty: no script).
    void SetScript(Script script);
    /// Queues one inbound report.
    void Inject(const Bytes61& report);
    /// Makes reads fail from now on (as when the device is pulled out).
    void Fail();
    /// Waits until every injected report has been dispatched (the reader came back for
    /// more) and n writes were seen.
    bool WaitIdle(std::size_t writes = 0);

    std::vector<Bytes61> Writes() const;
    bool Closed() const;

private:
    /// Takes the first inbound report once one is there, the device ended or the deadline
    /// passed; the caller holds lock.
    hid::ReadResult TakeLocked(std::unique_lock<std::mutex>& lock, std::uint8_t* report,
                               Clock::time_point deadline);

    const hid::HidAttributes m_attributes;
    const bool m_attributesFail;
    mutable std::mutex m_lock; ///< guards everything below
    std::condition_variable m_changed;
    std::deque<Bytes61> m_inbound;
    std::vector<Bytes61> m_writes;
    /// A read began after the last report was taken: whoever took it has dispatched it.
    bool m_backForMore = false;
    bool m_autoAnswer = false;
    Script m_script;
    bool m_failed = false;
    bool m_closed = false;
};

/// A backend with scripted devices, enumerated in the order they were added.
class FakeBackend : public hid::HidBackend {
public:
    struct Entry {
        std::string path;
        std::uint16_t vendorId;
        std::uint16_t productId;
        bool openFails = false;
        bool attributesFail = false;
    };

    void Add(const Entry& entry);
    /// Every device opened so far, in order.
    std::vector<std::shared_ptr<FakeDevice>> Opened() const;
    /// Delivers a notice as the platform would.
    void Announce(hid::HidNotice notice, const std::string& path) { m_hub.Notify(notice, path); }

    std::string_view Name() const override { return "fake"; }
    bool Enumerate(std::vector<hid::HidInterface>& out) override;
    bool Claims(const std::string& path) const override;
    std::shared_ptr<hid::HidDevice> Open(const std::string& path) override;
    bool StartWatching(hid::HidNoticeFn notice) override;
    void StopWatching() override { m_hub.Clear(); }

private:
    mutable std::mutex m_lock; ///< guards m_entries and m_opened
    std::vector<Entry> m_entries;
    std::vector<std::shared_ptr<FakeDevice>> m_opened;
    hid::NoticeHub m_hub;
};

/// A report with the given leading bytes (byte 0 first), the rest zero.
Bytes61 MakeReport(std::initializer_list<int> bytes);

} // namespace kv::test
