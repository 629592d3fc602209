#include "cmdline_options.h"

#include <gtest/gtest.h>

#include "platform.h"

namespace {

// Arguments 1 onward of a request, each followed by one space, as the launcher hands them to the scanner.
const std::string kRequest = "-c 12 -S Cam-East -d 01022011 -b 08:00:00 -e 09:00:00 ";

struct OptionCase {
    std::string commandLine;
    std::string option;
    bool found;
    std::string value;
};

// Each case, the value starting as `before`.
template <size_t N>
void CheckOptions(const OptionCase (&cases)[N], const std::string& before) {
    for (const auto& c : cases) {
        std::string value = before;
        EXPECT_EQ(GetCmdLineOption(c.commandLine, c.option, value), c.found)
            << c.commandLine << " / " << c.option;
        EXPECT_EQ(value, c.value) << c.commandLine << " / " << c.option;
    }
}

TEST(GetCmdLineOption, FindsValuesByTheScanningRules) {
    // Where "/" is no option marker (POSIX), the "/" form is not found.
    const bool slash = SlashMarksOptions();
    const OptionCase cases[] = {
        {kRequest, "c", true, "12"},
        {kRequest, "s", true, "Cam-East"},  // -S matches "s"; the value keeps its case
        {kRequest, "e", true, "09:00:00"},  // not "ast" from inside Cam-East
        {kRequest, "d", true, "01022011"},
        {kRequest, "b", true, "08:00:00"},
        {kRequest, "p", false, ""},
        {kRequest, "f", false, ""},
        {kRequest, "v", false, ""},
        {"-c5 ", "c", true, "5"},
        {"-c  5 ", "c", true, ""},  // an argument that began with a space
        {"/c 7 ", "c", slash, slash ? "7" : ""},
        {"/C 7 ", "c", false, ""},
        {"-c 3 -c 4 ", "c", true, "3"},
        {"/c 3 -c 4 ", "c", true, "4"},  // the "-" form wins wherever it stands
        {"-v C:\\My Logs\\run.log ", "v", true, "C:\\My"},
        {"-search 1 ", "s", true, "earch"},  // the character after the name is not tested
        {"-c 1 -e ", "e", true, ""},
        {"-c -s host ", "c", true, "-s"},
        {"-c\t5 ", "c", true, "\t5"},  // only the space separates
        {"-c \"a b\" ", "c", true, "\"a"},
        {"-help ", "help", true, ""},
        {"-HELP ", "help", true, ""},
        {"-helpme ", "help", true, "me"},
        {"/help ", "help", slash, ""},
        {"/HELP ", "help", false, ""},
        {"-? ", "?", true, ""},
        {"/? ", "?", slash, ""},
        {"", "c", false, ""},
        {"-\xC4 x ", "\xC4", true, "x"},  // bytes above 127 are not folded
    };
    CheckOptions(cases, "left over");
}

TEST(GetCmdLineOption, CountsMarkersOnlyWhereAnArgumentStarts) {
    const bool slash = SlashMarksOptions();
    const OptionCase cases[] = {
        {"-s nvr-backup -c 3 ", "c", true, "3"},
        {"-s site-d1 -d 12252010 ", "d", true, "12252010"},
        {"-s site-d1 ", "d", false, ""},
        {"x-c 5 ", "c", false, ""},
        {"-f D:\\cam-data\\KestrupConfig.xml ", "d", false, ""},
        {"-f a/c -c 2 ", "c", true, "2"},  // "/c" inside a path is passed over
        {"-f a/v ", "v", false, ""},
        {"-f /var/sites/site.xml ", "v", slash, slash ? "ar/sites/site.xml" : ""},  // a POSIX path
        {"-f /var/sites/site.xml ", "f", true, "/var/sites/site.xml"},
        {"a -c 5 ", "c", true, "5"},
        {"-x -c 9 ", "c", true, "9"},
    };
    CheckOptions(cases, "");
}

}  // namespace
