#pragma once

#include "sim/SimProcessor.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>

namespace kv::sim {

/// The simulator's trace file: one line per report, "> " from host to processor, "< " from
/// processor to host, then bytes 1..60 as upper-case hex separated by single spaces, then
/// "  # " with the seconds since the trace was opened and a short reading of the report
/// ("  # 0.012345 set (1,14) micVolume"). Tools read the first 181 characters.
class SimTrace {
public:
    SimTrace() = default;
    SimTrace(const SimTrace&) = delete;
    SimTrace& operator=(const SimTrace&) = delete;
    ~SimTrace();

    /// Opens (truncates) the file; false when it cannot be created.
    bool Open(const std::string& path);
    void Command(const Report& report) { Line('>', report); }
    void Answer(const Report& report) { Line('<', report); }

    /// The direction and the hex bytes of a report: the start of its line.
    static std::string Format(char direction, const Report& report);

private:
    void Line(char direction, const Report& report);

    std::mutex m_lock; ///< guards m_file and m_start
    std::FILE* m_file = nullptr;
    std::chrono::steady_clock::time_point m_start;
};

} // namespace kv::sim
