#include "sim/TraceComment.h"

#include "protocol/ParamTable.h"

#include <array>
#include <cstdio>
#include <string_view>

namespace kv::sim {

namespace {

struct Name {
    std::uint8_t code;
    std::string_view command; ///< host to processor
    std::string_view report;  ///< processor to host
};

constexpr std::array kNames = {
    Name{3, "select mode", ""},
    Name{4, "store mode", ""},
    Name{5, "recall mode", "recalled: read-all please"},
    Name{6, "factory setting", "factory setting recalled: read-all please"},
    Name{7, "current mode?", "current mode"},
    Name{9, "set", "parameters changed"},
    Name{10, "query", "parameter value"},
    Name{14, "status?", "status"},
    Name{18, "Z-Wave frame", "Z-Wave frame"},
    Name{20, "hub memory", "hub memory"},
    Name{48, "store read", "store bytes"},
    Name{49, "", "acknowledged"},
    Name{96, "learn", "learning status"},
    Name{98, "learning table?", "learning table"},
    Name{104, "machine reset", ""},
    Name{126, "DSP version?", "DSP version"},
    Name{127, "comm version?", "comm version"},
    Name{128, "model?", "model"},
    Name{129, "MCU version?", "MCU version"},
    Name{133, "store write", ""},
    Name{134, "", "store block"},
    Name{138, "goodbye", ""},
    Name{145, "write machine settings", ""},
    Name{146, "machine settings?", "machine settings"},
    Name{149, "ping", ""},
    Name{219, "", "mode name"},
};

std::string Format(const char* format, int a, int b = 0) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, a, b);
    return buffer;
}

/// "(module,item) field[entry]" of a parameter command or answer.
std::string Parameter(const Report& r) {
    const int module = r[3];
    const int item = r[4];
    std::string text = Format("(%d,%d)", module, item);
    if (const ParamRow* row = FindParamRow(module, item); row != nullptr && row->field != nullptr) {
        text += " " + std::string(row->field->name);
        if (row->field->count > 1) {
            text += "[" + std::to_string(row->entry) + "]";
        }
    } else if (module >= 1 && module <= 13) {
        text += " band or record";
    }
    return text;
}

std::string Text(const Report& r, std::size_t from) {
    std::string text;
    for (std::size_t i = from; i < r.size() && r[i] >= 0x20 && r[i] < 0x7F; ++i) {
        text += static_cast<char>(r[i]);
    }
    return text;
}

} // namespace

std::string TraceComment(char direction, const Report& r) {
    const std::uint8_t code = r[1];
    const bool command = direction == '>';
    std::string_view name;
    for (const Name& n : kNames) {
        if (n.code == code) {
            name = command ? n.command : n.report;
        }
    }
    if (name.empty()) {
        return (command ? "command " : "report ") + std::to_string(code);
    }
    std::string text(name);
    if (command) {
        switch (code) {
        case 3:
        case 4:
        case 5:
        case 6:
            return text + Format(" M%d", r[2] + 1);
        case 9:
        case 10:
            return text + " " + Parameter(r);
        case 48:
            return text + Format(" 0x%04X +%d", (r[2] << 8) | r[3], r[4]);
        case 133:
            return text + Format(" 0x%04X +%d", (r[2] << 8) | r[3], r[4]);
        default:
            return text;
        }
    }
    switch (code) {
    case 7:
        return text + Format(" M%d", r[2] + 1);
    case 127:
        return text + Format(" %d", r[2]);
    case 128:
    case 129:
    case 126:
        return text + " " + Text(r, 2);
    default:
        return text;
    }
}

} // namespace kv::sim
