#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace kv::hid {

/// Reads every pending event of a non-blocking inotify descriptor and hands over those that
/// name a file (mask and file name).
void ForEachInotifyEvent(int fd, const std::function<void(std::uint32_t, std::string_view)>& fn);

} // namespace kv::hid
