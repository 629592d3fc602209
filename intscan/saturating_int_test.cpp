#include "saturating_int.h"

#include <climits>
#include <string>

#include <gtest/gtest.h>

namespace {

TEST(SaturatingAtoi, SkipsLeadingWhiteSpaceAndStopsAtTheFirstNonDigit) {
    struct {
        std::string text;
        int value;
    } cases[] = {
        {" \t\n\v\f\r42", 42},
        {"- 5", 0},
        {"--5", 0},
        {"", 0},
        {"0x1A", 0},
        {"-0", 0},
        {"+", 0},
        {"-", 0},
        {"12abc", 12},
        {"2147483648", INT_MAX},
        {"-2147483649", INT_MIN},
        {"4294967303", INT_MAX},  // not 7, as a wrapping atoi would give
        {"0000000000000000000007", 7},
    };
    for (const auto& c : cases) EXPECT_EQ(SaturatingAtoi(c.text), c.value) << c.text;
}

TEST(ScanSaturatingInt, IsWholeOnlyWhenNothingFollowsTheDigitsAndNothingIsHeld) {
    struct {
        std::string text;
        bool whole;
    } cases[] = {
        {" +7", true},          {"2147483647", true}, {"-2147483648", true}, {"2147483648", false},
        {"-2147483649", false}, {"7 ", false},        {"12abc", false},      {"x", false},
    };
    for (const auto& c : cases) EXPECT_EQ(ScanSaturatingInt(c.text).whole, c.whole) << c.text;
}

}  // namespace
