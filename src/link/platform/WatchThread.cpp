#include "link/platform/WatchThread.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace kv::hid {

bool WatchThread::Start(int fd, std::function<void()> onReadable) {
    Stop();
    m_stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_stopFd < 0) {
        return false;
    }
    m_thread = std::thread([this, fd, fn = std::move(onReadable)] { Run(fd, fn); });
    return true;
}

void WatchThread::Stop() {
    if (m_thread.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto n = write(m_stopFd, &one, sizeof one);
        m_thread.join();
    }
    if (m_stopFd >= 0) {
        close(m_stopFd);
        m_stopFd = -1;
    }
}

void WatchThread::Run(int fd, const std::function<void()>& onReadable) const {
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
        const int n = poll(fds, 2, -1);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        if ((fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            return;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            onReadable();
        }
    }
}

} // namespace kv::hid
