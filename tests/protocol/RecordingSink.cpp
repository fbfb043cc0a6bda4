#include "RecordingSink.h"

#include "image/Encodings.h"

#include <algorithm>
#include <cstdio>

namespace kv::test {

namespace {

/// Bytes that carry meaning: the values of a parameter command, the data of a store write.
std::size_t MeaningfulLength(const Command& c) {
    switch (c[1]) {
    case kCmdSetParam:
        return 6 + 4 * std::size_t{c[5]};
    case kCmdQueryParam:
        return 6;
    case kCmdStoreWrite:
        return 5 + std::size_t{c[4]};
    case kCmdStoreRead:
        return 5;
    default:
        return 3;
    }
}

} // namespace

std::string Hex(const Command& command) {
    const std::size_t end = std::min(MeaningfulLength(command), command.size());
    std::string out;
    for (std::size_t i = 0; i < end; ++i) {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%02X", command[i]);
        if (!out.empty()) {
            out += ' ';
        }
        out += buf;
    }
    for (std::size_t i = end; i < command.size(); ++i) {
        if (command[i] != 0) {
            out += " + non-zero padding";
            break;
        }
    }
    return out;
}

float ValueOf(const Recorded& r, int k) {
    return GetFloatBE(&r.command[6 + 4 * k]);
}

std::uint32_t WordOf(const Recorded& r, int k) {
    return GetU32BE(&r.command[6 + 4 * k]);
}

} // namespace kv::test
