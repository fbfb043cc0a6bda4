#include "protocol/Commands.h"

#include "image/Encodings.h"

#include <algorithm>
#include <bit>

namespace kv {

namespace {

constexpr std::uint8_t kReportId = 2;
constexpr std::size_t kMaxCommandValues = 60;

Command EmptyCommand(std::uint8_t code) {
    Command c{};
    c[0] = kReportId;
    c[1] = code;
    return c;
}

void PutAddress(Command& c, int address) {
    c[2] = static_cast<std::uint8_t>(address >> 8);
    c[3] = static_cast<std::uint8_t>(address);
}

} // namespace

Command BuildCommand(std::initializer_list<int> values) {
    Command c{};
    c[0] = kReportId;
    std::size_t i = 1;
    for (int v : values) {
        if (v == -1 || i > kMaxCommandValues) {
            break;
        }
        c[i++] = static_cast<std::uint8_t>(v);
    }
    return c;
}

Command BuildParamCommand(int module, int item, std::span<const std::uint32_t> words) {
    Command c = EmptyCommand(kCmdSetParam);
    const std::size_t n = std::min(words.size(), kMaxParamWords);
    c[3] = static_cast<std::uint8_t>(module);
    c[4] = static_cast<std::uint8_t>(item);
    c[5] = static_cast<std::uint8_t>(n);
    for (std::size_t k = 0; k < n; ++k) {
        PutU32BE(&c[6 + 4 * k], words[k]);
    }
    return c;
}

Command BuildParamQuery(int module, int item) {
    Command c = EmptyCommand(kCmdQueryParam);
    c[3] = static_cast<std::uint8_t>(module);
    c[4] = static_cast<std::uint8_t>(item);
    c[5] = 1;
    return c;
}

Command BuildStoreWrite(int address, std::span<const std::uint8_t> data) {
    Command c = EmptyCommand(kCmdStoreWrite);
    const std::size_t n = std::min(data.size(), kMaxStoreBytes);
    PutAddress(c, address);
    c[4] = static_cast<std::uint8_t>(n);
    std::copy_n(data.begin(), n, c.begin() + 5);
    return c;
}

Command BuildStoreRead(int address, int length) {
    Command c = EmptyCommand(kCmdStoreRead);
    PutAddress(c, address);
    c[4] = static_cast<std::uint8_t>(length);
    return c;
}

std::uint32_t FloatWord(float v) {
    return std::bit_cast<std::uint32_t>(v);
}

} // namespace kv
