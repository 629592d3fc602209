// ReadRequestLink over fuzzed links: anything it accepts is exactly the request
// that its equivalent options give through the option scanner, and nothing
// more; anything it refuses gets a reason that is one printable line. The link
// as the log shows it is one printable word.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cmdline_options.h"
#include "request_link.h"

namespace {

// The request's options, and every other name the program looks up.
constexpr const char* kOptionNames[] = {"c", "s", "p", "d", "b", "e", "f", "v", "?", "help"};

// Printable ASCII without spaces: one word on one line.
bool IsOneWord(const std::string& text) {
    for (unsigned char c : text) {
        if (c <= ' ' || c > '~') return false;
    }
    return true;
}

void CheckAccepted(const std::string& link, const LinkValues& values) {
    if (link.size() > kLongestLink) std::abort();
    for (unsigned char c : link) {
        if (c > '~') std::abort();  // nothing outside ASCII, which may be a lookalike
    }
    const std::string options = EquivalentOptions(values) + " ";
    std::size_t found = 0;
    for (const char* name : kOptionNames) {
        std::string value = "stale";
        const auto given = values.find(name);
        const bool expected = given != values.end();
        if (GetCmdLineOption(options, name, value) != expected) std::abort();
        if (expected && value != given->second) std::abort();
        found += expected ? 1 : 0;
    }
    // No value left out of that comparison: the link held request options alone.
    if (found != values.size()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string link(reinterpret_cast<const char*>(data), size);
    if (!IsOneWord(LinkAsLogged(link))) std::abort();
    LinkValues values = {{"x", "stale"}};
    std::string refusal;
    if (ReadRequestLink(link, values, refusal)) {
        CheckAccepted(link, values);
        return 0;
    }
    if (!values.empty() || refusal.empty()) std::abort();
    for (unsigned char c : refusal) {
        if (c < ' ' || c > '~') std::abort();
    }
    return 0;
}
