#pragma once

#include "link/LinkReceiver.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace kv::test {

/// A link receiver that records everything it is told; tests wait on it.
class TestReceiver : public ILinkReceiver {
public:
    struct Notice {
        bool arrived;
        std::string path;
    };

    void PostNotice(const LinkNotice& notice) override;
    void ShowErrorBox(const std::string& text, const std::string& caption) override;
    void OnDeviceChange(bool arrived, const std::string& path) override;

    /// Every notice posted so far, oldest first.
    std::vector<LinkNotice> Posted() const;
    /// The posted notices of one kind, oldest first.
    template <typename Kind>
    std::vector<Kind> PostedOf() const {
        std::vector<Kind> found;
        for (const LinkNotice& n : Posted()) {
            if (const auto* k = std::get_if<Kind>(&n)) {
                found.push_back(*k);
            }
        }
        return found;
    }
    std::vector<std::string> ErrorBoxes() const;
    std::vector<Notice> Notices() const;
    /// Waits until a notice of that kind for that path arrived (5 s at most).
    bool WaitForNotice(bool arrived, const std::string& path);

private:
    bool WaitUntil(const std::function<bool()>& ready);

    mutable std::mutex m_lock; ///< guards the lists
    std::condition_variable m_changed;
    std::vector<LinkNotice> m_posted;
    std::vector<std::string> m_errorBoxes;
    std::vector<Notice> m_notices;
};

/// Captures the debug log while alive.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::string Text() const;
    /// How often the text occurs in the log.
    int Count(const std::string& text) const;
    void Clear();

private:
    mutable std::mutex m_lock; ///< guards m_text
    std::string m_text;
};

/// A fresh directory under the temporary folder, removed with its content at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

/// Polls a condition that has nothing to wait on (5 s at most).
bool Eventually(const std::function<bool()>& ready,
                std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

} // namespace kv::test
