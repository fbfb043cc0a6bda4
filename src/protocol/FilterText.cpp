#include "protocol/FilterText.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sys/stat.h>

namespace kv {

namespace {

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

bool IEquals(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

bool IStartsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && IEquals(s.substr(0, prefix.size()), prefix);
}

std::string_view Trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r\f\v");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = s.find_last_not_of(" \t\r\f\v");
    return s.substr(first, last - first + 1);
}

std::vector<std::string_view> Split(std::string_view s) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])) != 0) {
            ++i;
        }
        const std::size_t start = i;
        while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])) == 0) {
            ++i;
        }
        if (i > start) {
            out.push_back(s.substr(start, i - start));
        }
    }
    return out;
}

/// A number as the tools write it: "63.0", "-5,0" (decimal comma), "+3", optionally glued
/// to a unit ("63Hz", "1.2kHz", "-3dB"). Gives the value in base units (kHz as Hz).
std::optional<double> Number(std::string_view token) {
    std::size_t end = 0;
    while (end < token.size() &&
           (std::isdigit(static_cast<unsigned char>(token[end])) != 0 || token[end] == '.' ||
            token[end] == ',' || ((token[end] == '-' || token[end] == '+') && end == 0))) {
        ++end;
    }
    std::string digits(token.substr(0, end));
    const std::string_view unit = token.substr(end);
    double scale = 1.0;
    if (IEquals(unit, "khz")) {
        scale = 1000.0;
    } else if (!unit.empty() && !IEquals(unit, "hz") && !IEquals(unit, "db") &&
               !IEquals(unit, "%")) {
        return std::nullopt;
    }
    if (std::count(digits.begin(), digits.end(), ',') == 1 && digits.find('.') == std::string::npos) {
        std::replace(digits.begin(), digits.end(), ',', '.');
    }
    if (!digits.empty() && digits.front() == '+') {
        digits.erase(0, 1);
    }
    double value = 0;
    const char* first = digits.data();
    const char* last = digits.data() + digits.size();
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (digits.empty() || ec != std::errc{} || ptr != last || !std::isfinite(value * scale)) {
        return std::nullopt;
    }
    return value * scale;
}

/// "12dB", "6dB": a slope written as one token.
std::optional<double> GluedSlope(std::string_view token) {
    if (token.size() < 3 || !IEquals(token.substr(token.size() - 2), "db")) {
        return std::nullopt;
    }
    return Number(token.substr(0, token.size() - 2));
}

struct ShapeCode {
    const char* code;
    FilterShape shape;
};
constexpr std::array<ShapeCode, 21> kShapeCodes = {{
    {"PK", FilterShape::Peaking},         {"PEQ", FilterShape::Peaking},
    {"PEAK", FilterShape::Peaking},       {"MODAL", FilterShape::Modal},
    {"LP", FilterShape::LowPass},         {"LPQ", FilterShape::LowPass},
    {"HP", FilterShape::HighPass},        {"HPQ", FilterShape::HighPass},
    {"LP1", FilterShape::LowPassFirstOrder}, {"HP1", FilterShape::HighPassFirstOrder},
    {"LS", FilterShape::LowShelf},        {"LSC", FilterShape::LowShelf},
    {"LSQ", FilterShape::LowShelf},       {"HS", FilterShape::HighShelf},
    {"HSC", FilterShape::HighShelf},      {"HSQ", FilterShape::HighShelf},
    {"NO", FilterShape::Notch},           {"NOTCH", FilterShape::Notch},
    {"AP", FilterShape::AllPass},         {"BP", FilterShape::BandPass},
    {"NONE", FilterShape::None},
}};

FilterShape ShapeOf(std::string_view code) {
    for (const auto& s : kShapeCodes) {
        if (IEquals(code, s.code)) {
            return s.shape;
        }
    }
    return FilterShape::Other;
}

/// Reads the type and its modifiers at tokens[i..]: "PK", "LS Q", "LS 12dB", "LSC 10.8 dB".
void ReadType(const std::vector<std::string_view>& tokens, std::size_t& i, TextFilter& f) {
    if (i >= tokens.size()) {
        f.shape = FilterShape::None;
        return;
    }
    const std::string_view code = tokens[i++];
    f.typeText = std::string(code);
    f.shape = ShapeOf(code);
    if (i < tokens.size() && IEquals(tokens[i], "Q") &&
        (i + 1 >= tokens.size() || !Number(tokens[i + 1]))) {
        f.typeText += " Q";
        ++i;
    } else if (i < tokens.size() && GluedSlope(tokens[i])) {
        f.slopeDb = GluedSlope(tokens[i]);
        f.typeText += " " + std::string(tokens[i]);
        ++i;
    } else if (i + 1 < tokens.size() && Number(tokens[i]) && IEquals(tokens[i + 1], "dB")) {
        f.slopeDb = Number(tokens[i]);
        f.typeText += " " + std::string(tokens[i]) + " dB";
        i += 2;
    }
    if (f.slopeDb && (f.shape == FilterShape::LowPass || f.shape == FilterShape::HighPass) &&
        *f.slopeDb == 6.0) {
        f.shape = f.shape == FilterShape::LowPass ? FilterShape::LowPassFirstOrder
                                                  : FilterShape::HighPassFirstOrder;
    }
}

/// Reads "Fc 63 Hz", "Gain -5 dB", "Q 4", "BW Oct 0.167", "BW 10 Hz" pairs in any order;
/// words it does not know (units, "T60", ...) are passed over.
void ReadValues(const std::vector<std::string_view>& tokens, std::size_t i, TextFilter& f) {
    auto numberAt = [&](std::size_t k) -> std::optional<double> {
        return k < tokens.size() ? Number(tokens[k]) : std::nullopt;
    };
    while (i < tokens.size()) {
        const std::string_view key = tokens[i];
        if (IEquals(key, "Fc") || IEquals(key, "F")) {
            f.freqHz = numberAt(i + 1);
            if (f.freqHz && i + 2 < tokens.size() && IEquals(tokens[i + 2], "kHz")) {
                *f.freqHz *= 1000.0;
            }
            i += 2;
        } else if (IEquals(key, "Gain")) {
            f.gainDb = numberAt(i + 1);
            i += 2;
        } else if (IEquals(key, "Q")) {
            f.q = numberAt(i + 1);
            i += 2;
        } else if (IEquals(key, "BW") && i + 2 < tokens.size() && IEquals(tokens[i + 1], "Oct")) {
            f.bandwidthOct = numberAt(i + 2);
            i += 3;
        } else if (IEquals(key, "BW") && numberAt(i + 1) && i + 2 < tokens.size() &&
                   IEquals(tokens[i + 2], "Oct")) {
            f.bandwidthOct = numberAt(i + 1);
            i += 3;
        } else if (IEquals(key, "BW") && numberAt(i + 1)) {
            f.bandwidthHz = numberAt(i + 1);
            i += 2;
        } else {
            ++i;
        }
    }
}

/// The column of the tabular layout that a header word names.
enum class Column { Number, Enabled, Control, Type, Frequency, Gain, Q, BandwidthHz, BandwidthOct, Other };

Column ColumnOf(std::string_view header) {
    const std::string h = Upper(header);
    if (h.starts_with("NUMBER") || h == "NO." || h == "#") {
        return Column::Number;
    }
    if (h.starts_with("ENABLED")) {
        return Column::Enabled;
    }
    if (h.starts_with("CONTROL")) {
        return Column::Control;
    }
    if (h.starts_with("TYPE")) {
        return Column::Type;
    }
    if (h.starts_with("FREQ") || h.starts_with("FC")) {
        return Column::Frequency;
    }
    if (h.starts_with("GAIN")) {
        return Column::Gain;
    }
    if (h == "Q") {
        return Column::Q;
    }
    if (h.starts_with("BANDWIDTH") || h.starts_with("BW")) {
        return h.find("OCT") != std::string::npos ? Column::BandwidthOct : Column::BandwidthHz;
    }
    return Column::Other;
}

bool IsTableHeader(const std::vector<std::string_view>& tokens) {
    bool number = false;
    bool type = false;
    bool freq = false;
    for (auto t : tokens) {
        const Column c = ColumnOf(t);
        number = number || c == Column::Number;
        type = type || c == Column::Type;
        freq = freq || c == Column::Frequency;
    }
    return number && type && freq;
}

std::vector<std::string_view> SplitTabs(std::string_view s) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    while (true) {
        const auto tab = s.find('\t', start);
        out.push_back(Trim(s.substr(start, tab == std::string_view::npos ? tab : tab - start)));
        if (tab == std::string_view::npos) {
            break;
        }
        start = tab + 1;
    }
    return out;
}

/// Reads one row of the tabular layout. Tab-separated rows keep empty cells in place; rows
/// separated by spaces may spell the type in two words ("LS Q"), so the values after the
/// type are taken in the header's order from whatever follows it.
std::optional<TextFilter> TableRow(std::string_view line, const std::vector<Column>& columns,
                                   int lineNo) {
    const bool tabs = line.find('\t') != std::string_view::npos;
    const std::vector<std::string_view> cells = tabs ? SplitTabs(line) : Split(line);
    if (cells.empty() || !Number(cells[0])) {
        return std::nullopt;
    }
    TextFilter f;
    f.line = lineNo;
    f.label = "Filter " + std::string(cells[0]);
    std::size_t cell = 0;
    for (std::size_t c = 0; c < columns.size() && cell < cells.size(); ++c) {
        const std::string_view text = cells[cell];
        switch (columns[c]) {
        case Column::Enabled:
            f.enabled = !(IEquals(text, "False") || IEquals(text, "OFF") || IEquals(text, "No"));
            ++cell;
            break;
        case Column::Type: {
            if (tabs) {
                const auto words = Split(text);
                std::size_t k = 0;
                ReadType(words, k, f);
                ++cell;
            } else {
                ReadType(cells, cell, f);
            }
            break;
        }
        case Column::Frequency:
            f.freqHz = Number(text);
            ++cell;
            break;
        case Column::Gain:
            f.gainDb = Number(text);
            ++cell;
            break;
        case Column::Q:
            f.q = Number(text);
            ++cell;
            break;
        case Column::BandwidthHz:
            f.bandwidthHz = Number(text);
            ++cell;
            break;
        case Column::BandwidthOct:
            f.bandwidthOct = Number(text);
            ++cell;
            break;
        default:
            ++cell;
            break;
        }
    }
    if (f.typeText.empty()) {
        f.shape = FilterShape::None;
    }
    return f;
}

/// "Filter 3:", "Filter:", "Filter3:" at the start of a line: the rest after the colon, and
/// the number when there is one (0 otherwise). Nothing for other lines ("Filter Settings file").
std::optional<std::string_view> FilterPrefix(std::string_view line, std::string& number) {
    if (!IStartsWith(line, "filter")) {
        return std::nullopt;
    }
    std::size_t i = 6;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
        ++i;
    }
    const std::size_t digits = i;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])) != 0) {
        ++i;
    }
    number = std::string(line.substr(digits, i - digits));
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
        ++i;
    }
    if (i >= line.size() || line[i] != ':') {
        return std::nullopt;
    }
    return line.substr(i + 1);
}

/// The role a "Channel:" name or number selects. Numbers count the channels of a 7.1 stream
/// in their usual order (1 L, 2 R, 3 C, 4 LFE, 5 RL, 6 RR, 7 SL, 8 SR).
std::optional<int> RoleOf(std::string_view name) {
    static constexpr std::array<std::pair<const char*, int>, 14> kNames = {{{"L", 0},
                                                                            {"R", 1},
                                                                            {"RL", 2},
                                                                            {"BL", 2},
                                                                            {"SBL", 2},
                                                                            {"RR", 3},
                                                                            {"BR", 3},
                                                                            {"SBR", 3},
                                                                            {"LFE", 4},
                                                                            {"SUB", 4},
                                                                            {"C", 5},
                                                                            {"CEN", 5},
                                                                            {"SL", 6},
                                                                            {"SR", 7}}};
    for (const auto& [n, role] : kNames) {
        if (IEquals(name, n)) {
            return role;
        }
    }
    static constexpr std::array<int, 8> kStreamOrder = {0, 1, 5, 4, 2, 3, 6, 7};
    const auto n = Number(name);
    if (n && *n >= 1 && *n <= 8 && *n == std::floor(*n)) {
        return kStreamOrder[static_cast<std::size_t>(*n) - 1];
    }
    return std::nullopt;
}

ChannelSection ReadChannels(std::string_view rest, int lineNo) {
    ChannelSection s;
    s.line = lineNo;
    s.all = false;
    for (auto name : Split(rest)) {
        if (IEquals(name, "all")) {
            s.all = true;
        } else if (const auto role = RoleOf(name)) {
            if (std::find(s.roles.begin(), s.roles.end(), *role) == s.roles.end()) {
                s.roles.push_back(*role);
            }
        } else {
            s.unknown.emplace_back(name);
        }
    }
    return s;
}

/// Text as bytes a parser can take: the UTF-8 byte-order mark dropped, UTF-16 with a mark
/// narrowed when every character is ASCII. Binary data is refused.
std::optional<std::string> Normalise(std::string_view text, std::string& error) {
    std::string out;
    if (text.size() >= 2 && (static_cast<unsigned char>(text[0]) == 0xFF &&
                             static_cast<unsigned char>(text[1]) == 0xFE)) {
        for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
            if (text[i + 1] != 0 || text[i] == 0) {
                error = "UTF-16 text with characters other than ASCII is not supported; "
                        "save it as UTF-8";
                return std::nullopt;
            }
            out.push_back(text[i]);
        }
    } else {
        if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") {
            text.remove_prefix(3);
        }
        out.assign(text);
    }
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f') {
            error = "not a text file (byte " + std::to_string(c) + " at offset " +
                    std::to_string(i) + ")";
            return std::nullopt;
        }
    }
    return out;
}

} // namespace

std::string_view ShapeName(FilterShape shape) {
    switch (shape) {
    case FilterShape::Peaking:
        return "peaking";
    case FilterShape::LowPass:
        return "low-pass";
    case FilterShape::HighPass:
        return "high-pass";
    case FilterShape::LowShelf:
        return "low shelf";
    case FilterShape::HighShelf:
        return "high shelf";
    case FilterShape::LowPassFirstOrder:
        return "first-order low-pass";
    case FilterShape::HighPassFirstOrder:
        return "first-order high-pass";
    case FilterShape::BandPass:
        return "band-pass";
    case FilterShape::Notch:
        return "notch";
    case FilterShape::AllPass:
        return "all-pass";
    case FilterShape::Modal:
        return "modal";
    case FilterShape::None:
        return "none";
    case FilterShape::Other:
        break;
    }
    return "unknown type";
}

double QFromOctaves(double octaves) {
    const double p = std::pow(2.0, octaves);
    return std::sqrt(p) / (p - 1.0);
}

std::optional<double> QFromShelfSlope(double gainDb, double slopeDb) {
    if (!(slopeDb > 0)) {
        return std::nullopt;
    }
    const double A = std::pow(10.0, gainDb / 40.0);
    const double S = slopeDb / 12.0;
    const double r = (A + 1.0 / A) * (1.0 / S - 1.0) + 2.0;
    if (!(r > 0)) {
        return std::nullopt;
    }
    return 1.0 / std::sqrt(r);
}

FilterFileResult ParseFilterText(std::string_view raw) {
    FilterFileResult result;
    const auto text = Normalise(raw, result.error);
    if (!text) {
        return result;
    }
    FilterFile file;
    bool rewHeader = false;
    bool table = false;
    std::vector<Column> columns;
    std::vector<std::pair<int, std::string>> ignored; // with the line numbers
    int firstFilterLine = 0;
    int lineNo = 0;
    std::size_t pos = 0;
    const std::string_view all(*text);
    while (pos < all.size()) {
        auto nl = all.find_first_of("\n", pos);
        if (nl == std::string_view::npos) {
            nl = all.size();
        }
        ++lineNo;
        if (nl - pos > kMaxFilterLineBytes) {
            result.error = "line " + std::to_string(lineNo) + " is longer than " +
                           std::to_string(kMaxFilterLineBytes) + " characters";
            return result;
        }
        const std::string_view line = Trim(all.substr(pos, nl - pos));
        pos = nl + 1;
        if (line.empty() || line.front() == '#' || line.front() == ';') {
            continue;
        }
        const auto tokens = Split(line);
        std::string number;
        if (IStartsWith(line, "Filter Settings file") || IStartsWith(line, "Room EQ") ||
            IStartsWith(line, "Equaliser:") || IStartsWith(line, "Equalizer:")) {
            rewHeader = true;
        }
        if (IsTableHeader(tokens)) {
            table = true;
            columns.clear();
            for (auto t : tokens) {
                columns.push_back(ColumnOf(t));
            }
            continue;
        }
        if (table) {
            if (auto f = TableRow(line, columns, lineNo)) {
                f->section = file.sections.size() - 1;
                file.filters.push_back(std::move(*f));
                firstFilterLine = firstFilterLine == 0 ? lineNo : firstFilterLine;
                continue;
            }
        }
        if (const auto rest = FilterPrefix(line, number)) {
            TextFilter f;
            f.line = lineNo;
            f.label = number.empty() ? "line " + std::to_string(lineNo) : "Filter " + number;
            const auto body = Split(*rest);
            std::size_t i = 0;
            if (i < body.size() && (IEquals(body[i], "ON") || IEquals(body[i], "OFF"))) {
                f.enabled = IEquals(body[i], "ON");
                ++i;
            }
            ReadType(body, i, f);
            ReadValues(body, i, f);
            f.section = file.sections.size() - 1;
            file.filters.push_back(std::move(f));
            firstFilterLine = firstFilterLine == 0 ? lineNo : firstFilterLine;
            continue;
        }
        if (IStartsWith(line, "Preamp:")) {
            const auto words = Split(line.substr(7));
            const auto db = words.empty() ? std::nullopt : Number(words[0]);
            if (!db) {
                ignored.emplace_back(lineNo, "Preamp without a number in dB: ignored");
                continue;
            }
            auto& preamp = file.sections.back().preampDb;
            preamp = preamp.value_or(0.0) + *db;
            continue;
        }
        if (IStartsWith(line, "Channel:")) {
            file.sections.push_back(ReadChannels(line.substr(8), lineNo));
            continue;
        }
        const auto colon = line.find(':');
        const std::string command(line.substr(0, std::min<std::size_t>(
                                                     colon == std::string_view::npos ? 40 : colon + 1, 40)));
        ignored.emplace_back(lineNo, command + " not a filter: ignored");
    }
    if (file.filters.empty()) {
        result.error = "no filter lines found (expected lines such as \"Filter 1: ON PK Fc 100 Hz "
                       "Gain -3 dB Q 2\")";
        return result;
    }
    file.format = table ? FilterTextFormat::RewTable
                        : (rewHeader ? FilterTextFormat::Rew : FilterTextFormat::Apo);
    for (auto& [n, what] : ignored) {
        // A REW file's header (title, date, notes, measurement name) is not worth listing.
        if (file.format != FilterTextFormat::Apo && n < firstFilterLine) {
            continue;
        }
        file.ignored.push_back("line " + std::to_string(n) + ": " + what);
    }
    result.file = std::move(file);
    return result;
}

FilterFileResult ReadFilterFile(const std::string& path) {
    FilterFileResult result;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        result.error = "cannot open the file";
        return result;
    }
    if (!S_ISREG(st.st_mode)) {
        result.error = "not a regular file";
        return result;
    }
    if (static_cast<unsigned long long>(st.st_size) > kMaxFilterFileBytes) {
        result.error = "the file has " + std::to_string(st.st_size) +
                       " bytes; a filter file has at most " +
                       std::to_string(kMaxFilterFileBytes) + " bytes";
        return result;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        result.error = "cannot open the file";
        return result;
    }
    std::string bytes(kMaxFilterFileBytes + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > kMaxFilterFileBytes) {
        result.error = "the file has grown beyond " + std::to_string(kMaxFilterFileBytes) + " bytes";
        return result;
    }
    return ParseFilterText(bytes);
}

} // namespace kv
