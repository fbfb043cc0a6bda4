#include "FieldValues.h"

#include "image/DisplayFormat.h"
#include "image/ParamImage.h"
#include "image/TypedValue.h"
#include "protocol/ParamTable.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <vector>

namespace kv::cli {

namespace {

constexpr FieldRange kSwitchRange{0, 1, 1, ""};
constexpr std::string_view kOnWords[] = {"on", "yes", "true"};
constexpr std::string_view kOffWords[] = {"off", "no", "false"};

/// The reverb time as the application shows it: step x 49.6 + 40 ms, steps 0..100.
constexpr double kReverbBaseMs = 40;
constexpr double kReverbStepMs = 49.6;
constexpr double kReverbSteps = 100;
constexpr FieldRange kReverbMsRange{kReverbBaseMs, kReverbBaseMs + kReverbSteps* kReverbStepMs,
                                    kReverbStepMs, "ms"};

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Lowered(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), Lower);
    return out;
}

bool SameWord(std::string_view a, std::string_view b) {
    return Lowered(a) == Lowered(b);
}

/// Edits (insert, delete, change, swap of neighbours) between two words, ignoring case.
std::size_t Distance(std::string_view a, std::string_view b) {
    const std::string x = Lowered(a);
    const std::string y = Lowered(b);
    std::vector<std::vector<std::size_t>> d(x.size() + 1, std::vector<std::size_t>(y.size() + 1));
    for (std::size_t i = 0; i <= x.size(); ++i) {
        d[i][0] = i;
    }
    for (std::size_t j = 0; j <= y.size(); ++j) {
        d[0][j] = j;
    }
    for (std::size_t i = 1; i <= x.size(); ++i) {
        for (std::size_t j = 1; j <= y.size(); ++j) {
            const std::size_t change = x[i - 1] == y[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && x[i - 1] == y[j - 2] && x[i - 2] == y[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[x.size()][y.size()];
}

/// The field name nearest to a slip of the keyboard, or empty when none is near.
std::string_view NearestField(std::string_view name) {
    std::string_view best;
    std::size_t bestDistance = std::max<std::size_t>(2, name.size() / 4) + 1;
    for (const MainField& f : AllMainFields()) {
        const std::size_t d = Distance(name, f.name);
        if (d < bestDistance) {
            best = f.name;
            bestDistance = d;
        }
    }
    return best;
}

bool IsReverbTime(const MainField& field) {
    return field.slot == fields::reverbTime.slot;
}

bool IsSwitch(const FieldRange& r, std::span<const std::string_view> names) {
    return names.empty() && r.min == 0 && r.max == 1 && r.step == 1 && r.unit.empty();
}

/// 1 for on/yes/true, 0 for off/no/false, nullopt for anything else.
std::optional<int> SwitchWord(std::string_view text) {
    for (std::size_t i = 0; i < std::size(kOnWords); ++i) {
        if (SameWord(text, kOnWords[i])) {
            return 1;
        }
        if (SameWord(text, kOffWords[i])) {
            return 0;
        }
    }
    return std::nullopt;
}

std::string NamesText(std::span<const std::string_view> names) {
    std::string text;
    for (std::string_view n : names) {
        text += (text.empty() ? "" : ", ") + std::string(n);
    }
    return text;
}

/// The value in the unit kvctl shows (the pages' unit; the reverb time in ms).
double UserNumber(const ParamImage& image, const FieldRef& ref) {
    const MainField& f = *ref.field;
    if (IsReverbTime(f)) {
        return std::round(fmt::ReverbTimeMs(image.Float(f, ref.entry)));
    }
    if (f.IsFloat()) {
        return image.Float(f, ref.entry);
    }
    const std::int32_t slot = image.Int(f, ref.entry);
    return f.encoding == SlotEncoding::X100Flag ? (slot != 0 ? 1 : 0) : slot;
}

/// The name of a selector's value, or empty when it has none.
std::string_view ChoiceName(const ParamImage& image, const FieldRef& ref) {
    const auto names = ChoiceNames(*ref.field);
    const FieldLimits* limits = FindFieldLimits(*ref.field);
    if (names.empty() || limits == nullptr) {
        return {};
    }
    const double index = UserNumber(image, ref) - limits->Range(ref.entry).min;
    return index >= 0 && index < static_cast<double>(names.size())
               ? names[static_cast<std::size_t>(index)]
               : std::string_view{};
}

} // namespace

const MainField* FindFieldAnyCase(std::string_view name) {
    if (const MainField* exact = FindMainField(name)) {
        return exact;
    }
    for (const MainField& f : AllMainFields()) {
        if (SameWord(f.name, name)) {
            return &f;
        }
    }
    return nullptr;
}

std::vector<std::string> ValueWords(const MainField& field) {
    const auto names = ChoiceNames(field);
    std::vector<std::string> words(names.begin(), names.end());
    if (IsSwitch(UserRange({&field, 0}), names)) {
        for (std::size_t i = 0; i < std::size(kOnWords); ++i) {
            words.emplace_back(kOnWords[i]);
            words.emplace_back(kOffWords[i]);
        }
    }
    return words;
}

std::optional<FieldRef> ParseFieldRef(const std::string& text, Io& io) {
    std::string name = text;
    std::optional<long> index;
    if (const auto open = text.find('['); open != std::string::npos) {
        if (text.back() != ']') {
            BadInput(io, "field index must be written FIELD[INDEX]");
            return std::nullopt;
        }
        name = text.substr(0, open);
        index = ParseInt(text.substr(open + 1, text.size() - open - 2));
        if (!index) {
            BadInput(io, "field index must be a whole number");
            return std::nullopt;
        }
    }
    const MainField* field = FindFieldAnyCase(name);
    if (field == nullptr) {
        const std::string_view nearest = NearestField(name);
        BadInput(io, "unknown field '" + name + "'" +
                         (nearest.empty() ? "" : "; did you mean " + std::string(nearest) + "?") +
                         " (kvctl fields lists them)");
        return std::nullopt;
    }
    const std::string shown(field->name);
    if (!index && field->count > 1) {
        BadInput(io, shown + " has " + std::to_string(field->count) + " entries: use " + shown +
                         "[0.." + std::to_string(field->count - 1) + "]");
        return std::nullopt;
    }
    const long entry = index.value_or(0);
    if (entry < 0 || entry >= field->count) {
        BadInput(io, shown + " has no entry " + std::to_string(entry) + " (entries 0.." +
                         std::to_string(field->count - 1) + ")");
        return std::nullopt;
    }
    return FieldRef{field, static_cast<int>(entry)};
}

bool IsSent(const MainField& field, int entry) {
    const int slot = field.SlotOf(entry);
    for (const ParamRow& row : ParamRows()) {
        if (row.wire == Wire::Dynamics) {
            const DynamicsSlots s = DynamicsSlotsOf(row);
            if (slot == s.threshold || slot == s.ratio || slot == s.attack || slot == s.release) {
                return true;
            }
        } else if (row.field->SlotOf(row.entry) == slot) {
            return true;
        }
    }
    return false;
}

FieldRange UserRange(const FieldRef& ref) {
    if (IsReverbTime(*ref.field)) {
        return kReverbMsRange;
    }
    const FieldLimits* limits = FindFieldLimits(*ref.field);
    return limits ? limits->Range(ref.entry) : kSwitchRange;
}

std::span<const std::string_view> ChoiceNames(const MainField& field) {
    const FieldLimits* limits = FindFieldLimits(field);
    return limits ? limits->choices : std::span<const std::string_view>{};
}

std::optional<std::int32_t> SlotValue(const FieldRef& ref, const std::string& text, Io& io) {
    const std::string name(ref.field->name);
    if (FindFieldLimits(*ref.field) == nullptr) {
        BadInput(io, name + " has no value range");
        return std::nullopt;
    }
    const FieldRange range = UserRange(ref);
    const auto names = ChoiceNames(*ref.field);
    std::optional<double> value;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (SameWord(text, names[i])) {
            value = range.min + static_cast<double>(i);
        }
    }
    if (!value && IsSwitch(range, names)) {
        if (const auto word = SwitchWord(text)) {
            value = *word;
        }
    }
    bool reverbStep = false;
    if (!value) {
        const TypedValue typed = ReadTypedValue(text, range.unit);
        if (!typed.ok()) {
            std::string accepted = range.Describe();
            if (!names.empty()) {
                accepted = NamesText(names) + " or " + accepted;
            } else if (IsSwitch(range, names)) {
                accepted = "on/off, yes/no or 0/1";
            }
            BadInput(io, "'" + text + "' is not a value of " + name + ": " + accepted);
            return std::nullopt;
        }
        value = typed.value;
        // The reverb time's old form: its step 0..100, a plain number without a unit.
        reverbStep =
            IsReverbTime(*ref.field) && *value <= kReverbSteps && ReadTypedValue(text, "").ok();
    }
    // The pages' own range for the step form, else the range in the unit shown.
    const FieldRange& check = reverbStep ? FindFieldLimits(*ref.field)->Range(ref.entry) : range;
    const double slack = check.step * 1e-4;
    if (!std::isfinite(*value) || *value < check.min - slack || *value > check.max + slack) {
        BadInput(io, text + " is out of range for " + name + ": " + check.Describe());
        return std::nullopt;
    }
    double taken = check.Typed(*value);
    if (IsReverbTime(*ref.field) && !reverbStep) {
        taken = std::round((taken - kReverbBaseMs) / kReverbStepMs);
    }
    if (ref.field->IsFloat()) {
        return std::bit_cast<std::int32_t>(static_cast<float>(taken));
    }
    const auto whole = static_cast<std::int32_t>(std::lround(taken));
    return ref.field->encoding == SlotEncoding::X100Flag ? whole * 100 : whole;
}

std::string ValueText(const ParamImage& image, const FieldRef& ref) {
    if (const std::string_view name = ChoiceName(image, ref); !name.empty()) {
        return std::string(name);
    }
    return NumberText(UserNumber(image, ref));
}

nlohmann::ordered_json ValueJson(const ParamImage& image, const FieldRef& ref) {
    if (const std::string_view name = ChoiceName(image, ref); !name.empty()) {
        return std::string(name);
    }
    const double v = UserNumber(image, ref);
    if (!std::isfinite(v)) {
        return nullptr; // JSON has no NaN or infinity
    }
    // The same digits get prints.
    const std::string text = NumberText(v);
    double shown = 0;
    if (std::from_chars(text.data(), text.data() + text.size(), shown).ec != std::errc()) {
        return v;
    }
    if (shown == std::trunc(shown) && std::fabs(shown) < 1e15) {
        return static_cast<std::int64_t>(shown);
    }
    return shown;
}

std::string NumberText(double value) {
    char buffer[32];
    const auto single = static_cast<float>(value);
    const auto res = static_cast<double>(single) == value
                         ? std::to_chars(buffer, buffer + sizeof buffer, single)
                         : std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, res.ptr);
}

} // namespace kv::cli
