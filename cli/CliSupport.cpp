#include "CliSupport.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <ostream>

namespace kv::cli {

std::optional<long> ParseInt(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || end != text.c_str() + text.size()) {
        return std::nullopt;
    }
    return v;
}

std::optional<double> ParseNumber(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

int BadInput(Io& io, std::string_view message) {
    io.err << "kvctl: " << message << "\n";
    return kExitBadInput;
}

} // namespace kv::cli
