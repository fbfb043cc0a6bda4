#include "support/TestReceiver.h"

#include "link/DebugLog.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace kv::test {

namespace {
constexpr auto kWait = std::chrono::milliseconds(5000);
}

void TestReceiver::PostNotice(const LinkNotice& notice) {
    std::lock_guard lock(m_lock);
    m_posted.push_back(notice);
    m_changed.notify_all();
}

void TestReceiver::ShowErrorBox(const std::string& text, const std::string& caption) {
    std::lock_guard lock(m_lock);
    m_errorBoxes.push_back(caption + "|" + text);
    m_changed.notify_all();
}

void TestReceiver::OnDeviceChange(bool arrived, const std::string& path) {
    std::lock_guard lock(m_lock);
    m_notices.push_back({arrived, path});
    m_changed.notify_all();
}

std::vector<LinkNotice> TestReceiver::Posted() const {
    std::lock_guard lock(m_lock);
    return m_posted;
}

std::vector<std::string> TestReceiver::ErrorBoxes() const {
    std::lock_guard lock(m_lock);
    return m_errorBoxes;
}

std::vector<TestReceiver::Notice> TestReceiver::Notices() const {
    std::lock_guard lock(m_lock);
    return m_notices;
}

bool TestReceiver::WaitForNotice(bool arrived, const std::string& path) {
    return WaitUntil([&] {
        for (const Notice& n : m_notices) {
            if (n.arrived == arrived && n.path == path) {
                return true;
            }
        }
        return false;
    });
}

bool TestReceiver::WaitUntil(const std::function<bool()>& ready) {
    std::unique_lock lock(m_lock);
    return m_changed.wait_for(lock, kWait, ready);
}

LogCapture::LogCapture() {
    SetDebugSink([this](std::string_view text) {
        std::lock_guard lock(m_lock);
        m_text.append(text);
    });
}

LogCapture::~LogCapture() {
    SetDebugSink(nullptr);
}

std::string LogCapture::Text() const {
    std::lock_guard lock(m_lock);
    return m_text;
}

int LogCapture::Count(const std::string& text) const {
    const std::string all = Text();
    int n = 0;
    for (auto at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) {
        ++n;
    }
    return n;
}

void LogCapture::Clear() {
    std::lock_guard lock(m_lock);
    m_text.clear();
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kv-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

bool Eventually(const std::function<bool()>& ready, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!ready()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace kv::test
