#include "image/TypedValue.h"

#include <charconv>
#include <cmath>
#include <string>

namespace kv {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsSpace(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

/// The factor of a suffix written after a number shown in `unit`, or 0 when it does not fit.
double SuffixFactor(std::string_view suffix, std::string_view unit) {
    if (suffix.empty() || SameLetters(suffix, unit)) {
        return 1;
    }
    if (SameLetters(unit, "Hz") && (SameLetters(suffix, "k") || SameLetters(suffix, "kHz"))) {
        return 1000;
    }
    if (SameLetters(unit, "ms") && SameLetters(suffix, "s")) {
        return 1000;
    }
    return 0;
}

} // namespace

TypedValue ReadTypedValue(std::string_view text, std::string_view unit) {
    std::string_view s = Trim(text);
    if (s.empty()) {
        return {TypedStatus::Empty, 0};
    }
    // The sign, then digits with one decimal point, then an exponent. A comma is no decimal
    // point: "1,000" could mean a thousand as well as one.
    std::string number;
    std::size_t i = 0;
    if (s[i] == '+' || s[i] == '-') {
        if (s[i] == '-') {
            number += '-';
        }
        ++i;
        while (i < s.size() && IsSpace(s[i])) {
            ++i;
        }
    }
    bool digits = false;
    bool point = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') {
            digits = true;
            number += c;
        } else if (c == '.' && !point) {
            point = true;
            number += '.';
        } else {
            break;
        }
    }
    if (!digits) {
        return {TypedStatus::NotNumber, 0};
    }
    // An exponent only where the unit could not start with an e.
    if (i + 1 < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (s[j] == '+' || s[j] == '-') {
            exponent += s[j++];
        }
        const std::size_t first = j;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9') {
            exponent += s[j++];
        }
        if (j > first) {
            number += exponent;
            i = j;
        }
    }
    double value = 0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ec != std::errc() || end != number.data() + number.size() || !std::isfinite(value)) {
        return {TypedStatus::NotNumber, 0};
    }
    const double factor = SuffixFactor(Trim(s.substr(i)), unit);
    if (factor == 0 || !std::isfinite(value * factor)) {
        return {TypedStatus::NotNumber, 0};
    }
    return {TypedStatus::Number, value * factor};
}

} // namespace kv
