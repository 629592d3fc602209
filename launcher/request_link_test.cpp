#include "request_link.h"

#include <gtest/gtest.h>

namespace {

constexpr char kUnsafe[] = " holds a space, quote or control character";
constexpr char kNotAnOption[] = " is not a request option (c, s, p, d, b, e)";
constexpr char kNotAQuery[] = "the link does not begin with kestrup:?, kestrup:/? or kestrup://open/?";
constexpr char kNotAscii[] = "the link holds a character outside ASCII";
constexpr char kTooLong[] = "the link is longer than 2048 characters";
constexpr char kHostOnly[] = "key s takes a host name, an IPv4 address or an IPv6 address in []";

struct LinkCase {
    std::string link;
    std::string options;  // the equivalent options of an accepted link
    std::string refusal;  // empty when the link is accepted
};

TEST(ReadRequestLink, ReadsARequestOrRefusesNamingTheKeyAndWhy) {
    const std::string longest = "kestrup:?s=" + std::string(2048 - 11, 'a');
    const LinkCase cases[] = {
        // The forms browsers and the shell hand over.
        {"kestrup:?c=7&s=10.1.2.3&p=8080&d=12252010&b=10:30:00&e=11:00:00",
         "-c 7 -s 10.1.2.3 -p 8080 -d 12252010 -b 10:30:00 -e 11:00:00", ""},
        {"KESTRUP:?c=7", "-c 7", ""},
        {"Kestrup:/?c=7", "-c 7", ""},
        {"kestrup://open/?c=7", "-c 7", ""},
        {"kestrup://OPEN?c=7", "-c 7", ""},
        {"kestrup://?c=7", "-c 7", ""},
        {"kestrup:///?c=7", "-c 7", ""},
        {"kestrup:c=7", "", kNotAQuery},
        {"kestrup://host/?c=7", "", kNotAQuery},
        {"kestrup://open/x?c=7", "", kNotAQuery},
        {"kestrup:?/?c=7", "", "key /?c" + std::string(kNotAnOption)},
        // A request with keys missing is the run's to refuse.
        {"kestrup:?", "", ""},
        {"kestrup:?c=7&", "-c 7", ""},
        // Percent-encoding, in keys and values.
        {"kestrup:?%63=7&b=10%3A30%3a00&s=cam-east", "-c 7 -s cam-east -b 10:30:00", ""},
        {"kestrup:?s=%5B::1%5D&d=live", "-s [::1] -d live", ""},
        {"kestrup:?c=%4", "", "key c holds a malformed percent escape"},
        {"kestrup:?%6=7", "", "key %256 holds a malformed percent escape"},  // as the log shows "%"
        // Keys a link may not hold, or hold twice, or without a value.
        {"kestrup:?s=a&f=x", "", "key f" + std::string(kNotAnOption)},
        {"kestrup:?v=0", "", "key v" + std::string(kNotAnOption)},
        {"kestrup:?help", "", "key help" + std::string(kNotAnOption)},
        {"kestrup:?%3F=1", "", "key ?" + std::string(kNotAnOption)},
        {"kestrup:?C=7", "", "key C" + std::string(kNotAnOption)},
        {"kestrup:?%0A%1B=1", "", "key %0A%1B" + std::string(kNotAnOption)},
        {"kestrup:?=7", "", "key \"\"" + std::string(kNotAnOption)},
        {"kestrup:?c=7&c=8", "", "key c is given twice"},
        {"kestrup:?c=", "", "key c has no value"},
        // What a value may hold once decoded.
        {"kestrup:?s=10.1.2.3%20-f%20C:\\x", "", "key s" + std::string(kUnsafe)},
        {"kestrup:?s=a%00b", "", "key s" + std::string(kUnsafe)},
        {"kestrup:?s=a b", "", "key s" + std::string(kUnsafe)},
        {"kestrup:?s=%22a%22", "", "key s" + std::string(kUnsafe)},
        {"kestrup:?s=%2Dfx", "", "key s starts with '-'"},
        {"kestrup:?c=%2d7", "", "key c starts with '-'"},
        {"kestrup:?c=7a", "", "key c takes digits only"},
        {"kestrup:?c=%C0%B7", "", "key c takes digits only"},  // an overlong '7'
        {"kestrup:?s=%C0%AE%C0%AE", "", kHostOnly},            // overlong dots
        {"kestrup:?d=LIVE", "", "key d takes live or eight digits"},
        {"kestrup:?d=1225201", "", "key d takes live or eight digits"},
        {"kestrup:?b=10.30", "", "key b takes digits and ':' only"},
        {"kestrup:?e=/?", "", "key e takes digits and ':' only"},
        {"kestrup:?s=a_b", "", kHostOnly},
        {"kestrup:?s=[::1", "", kHostOnly},
        {"kestrup:?s=::1", "", kHostOnly},
        // Any character outside ASCII (a full-width 7), decided before anything else.
        {"kestrup:?c=\xEF\xBC\x97", "", kNotAscii},
        {"kestrup:?c=\x80" + std::string(1 << 20, 'a'), "", kNotAscii},
        // The length bound.
        {longest, "-s " + longest.substr(11), ""},
        {longest + "a", "", kTooLong},
        {"kestrup:?c=7&s=" + std::string(1 << 20, 'a'), "", kTooLong},
    };
    for (const auto& c : cases) {
        const std::string shown = c.link.substr(0, 80);
        LinkValues values = {{"x", "left over"}};
        std::string refusal;
        EXPECT_EQ(ReadRequestLink(c.link, values, refusal), c.refusal.empty()) << shown;
        EXPECT_EQ(refusal, c.refusal) << shown;
        EXPECT_EQ(EquivalentOptions(values), c.options) << shown;
        if (!c.refusal.empty()) {
            EXPECT_TRUE(values.empty()) << shown;
        }
    }
}

}  // namespace
