#include "CliSupport.h"

#include "image/ModeFile.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
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

bool ReadModeFileFor(const std::string& path, ParamImage& image, TruncatedFile truncated, Io& io,
                     int* version) {
    const ModeFileResult r = ReadModeFile(path, image);
    switch (r.status) {
    case ModeFileStatus::Ok:
        break;
    case ModeFileStatus::UnsupportedVersion:
        BadInput(io,
                 ModeFileMessage(r) + " (" + path + ": version " + std::to_string(r.version) + ")");
        return false;
    case ModeFileStatus::NotRegular:
        BadInput(io, path + ": not a regular file");
        return false;
    case ModeFileStatus::CannotRead:
    case ModeFileStatus::CannotWrite:
        BadInput(io, path + ": " + std::strerror(r.errorCode));
        return false;
    }
    if (r.truncated()) {
        if (truncated != TruncatedFile::Warn) {
            const char* forced = truncated == TruncatedFile::Refuse ? "loads" : "converts";
            BadInput(io, path + " " + TruncationNote(r) + " (--force " + forced + " it anyway)");
            return false;
        }
        io.err << "kvctl: warning: " << path << " " << TruncationNote(r) << "\n";
    }
    if (version) {
        *version = r.version;
    }
    return true;
}

} // namespace kv::cli
