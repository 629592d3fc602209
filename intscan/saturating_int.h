// atoi's reading of a decimal integer, held at INT_MIN or INT_MAX where atoi is
// undefined (glibc wraps, the Windows C runtime saturates).
#pragma once

#include <string_view>

struct ScannedInt {
    bool found = false;  // false when the text does not begin with a number
    int value = 0;       // 0 when not found
    bool whole = false;  // nothing follows the digits, and the value was not held
};

// C-locale white space, an optional sign, then digits; found with one digit or more.
ScannedInt ScanSaturatingInt(std::string_view text);

// The C library's atoi, with saturation instead of its undefined overflow.
int SaturatingAtoi(std::string_view text);
