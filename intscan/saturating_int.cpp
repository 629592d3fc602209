#include "saturating_int.h"

#include <climits>

namespace {

// The C locale's white space, spelled out so that no locale can change it.
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

ScannedInt ScanSaturatingInt(std::string_view text) {
    size_t at = 0;
    while (at < text.size() && IsSpace(text[at])) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    if (at == text.size() || !IsDigit(text[at])) return {};
    // Held just past INT_MAX + 1 (the magnitude of INT_MIN), so it cannot overflow.
    constexpr long long kCap = static_cast<long long>(INT_MAX) + 1;
    long long magnitude = 0;
    for (; at < text.size() && IsDigit(text[at]); ++at) {
        if (magnitude <= kCap) magnitude = magnitude * 10 + (text[at] - '0');
    }
    const bool held = magnitude > (negative ? kCap : kCap - 1);
    if (held) return {true, negative ? INT_MIN : INT_MAX, false};
    return {true, static_cast<int>(negative ? -magnitude : magnitude), at == text.size()};
}

int SaturatingAtoi(std::string_view text) { return ScanSaturatingInt(text).value; }
