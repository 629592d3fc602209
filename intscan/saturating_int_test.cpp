#include "saturating_int.h"

#include <string>

#include <gtest/gtest.h>

namespace {

TEST(SaturatingAtoi, SkipsLeadingWhiteSpaceAndStopsAtTheFirstNonDigit) {
    struct {
        std::string text;
        int value;
    } cases[] = {
        {" \t\n\v\f\r42", 42}, {"- 5", 0}, {"--5", 0}, {"", 0}, {"0x1A", 0}, {"-0", 0}, {"+", 0}, {"-", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(SaturatingAtoi(c.text), c.value) << c.text;
}

}  // namespace
