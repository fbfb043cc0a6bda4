#include "link/platform/Inotify.h"

#include <sys/inotify.h>
#include <unistd.h>

namespace kv::hid {

void ForEachInotifyEvent(int fd, const std::function<void(std::uint32_t, std::string_view)>& fn) {
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            return;
        }
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            if (e->len > 0) {
                fn(e->mask, std::string_view(e->name)); // zero-terminated within len
            }
        }
    }
}

} // namespace kv::hid
