#pragma once

#include "sim/SimProcessor.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace kv::sim {

/// The simulator's trace file: one line per report, "> " from host to processor, "< " from
/// processor to host, then bytes 1..60 as upper-case hex separated by single spaces.
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

    /// The line for a report, without the newline.
    static std::string Format(char direction, const Report& report);

private:
    void Line(char direction, const Report& report);

    std::mutex m_lock; ///< guards m_file
    std::FILE* m_file = nullptr;
};

} // namespace kv::sim
