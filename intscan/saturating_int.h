// Reads a decimal integer the way the C library's atoi and "%d" do within the
// int range, and holds it at INT_MIN or INT_MAX beyond it, where they are
// undefined (glibc wraps, the Windows C runtime saturates).
#pragma once

#include <string_view>

struct ScannedInt {
    bool found = false;  // false when the text does not begin with a number
    int value = 0;       // 0 when not found
    bool whole = false;  // nothing follows the digits, and the value was not held
};

// Leading white space (the C locale's), an optional sign, then the digits up to
// the first byte that is not one; found only when there is at least one digit.
ScannedInt ScanSaturatingInt(std::string_view text);

// The C library's atoi, with saturation instead of its undefined overflow.
int SaturatingAtoi(std::string_view text);
