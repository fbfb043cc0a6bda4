#include "sim/SimTrace.h"

#include "sim/TraceComment.h"

namespace kv::sim {

SimTrace::~SimTrace() {
    if (m_file != nullptr) {
        std::fclose(m_file);
    }
}

bool SimTrace::Open(const std::string& path) {
    std::lock_guard lock(m_lock);
    if (m_file != nullptr) {
        std::fclose(m_file);
    }
    m_file = std::fopen(path.c_str(), "w");
    m_start = std::chrono::steady_clock::now();
    return m_file != nullptr;
}

std::string SimTrace::Format(char direction, const Report& report) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string line{direction, ' '};
    for (std::size_t i = 1; i < kReportBytes; ++i) {
        if (i > 1) {
            line += ' ';
        }
        line += kHex[report[i] >> 4];
        line += kHex[report[i] & 0x0F];
    }
    return line;
}

void SimTrace::Line(char direction, const Report& report) {
    std::lock_guard lock(m_lock);
    if (m_file == nullptr) {
        return;
    }
    const std::chrono::duration<double> since = std::chrono::steady_clock::now() - m_start;
    const std::string line = Format(direction, report);
    const std::string comment = TraceComment(direction, report);
    std::fprintf(m_file, "%s  # %.6f %s\n", line.c_str(), since.count(), comment.c_str());
    std::fflush(m_file);
}

} // namespace kv::sim
