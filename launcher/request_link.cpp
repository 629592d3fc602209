#include "request_link.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

constexpr char kScheme[] = "kestrup:";
// What browsers and the shell put between the scheme and the query: "//" with
// an empty host or the host "open", then perhaps "/".
constexpr char kAuthorityStart[] = "//";
constexpr char kHost[] = "open";
constexpr char kPathEnd = '/';
constexpr char kQueryStart = '?';
constexpr char kPairSeparator = '&';
constexpr char kKeyEnd = '=';
constexpr char kEscape = '%';
constexpr char kOptionMarker = '-';
constexpr std::size_t kDateDigits = 8;

// In the order of the request's option table; the only keys a link may hold.
constexpr const char* kRequestKeys[] = {"c", "s", "p", "d", "b", "e"};

constexpr char kNotAscii[] = "the link holds a character outside ASCII";
constexpr char kTooLong[] = "the link is longer than ";
constexpr char kCharacters[] = " characters";
constexpr char kNotAQuery[] = "the link does not begin with kestrup:?, kestrup:/? or kestrup://open/?";
constexpr char kNotAnOption[] = " is not a request option (c, s, p, d, b, e)";
constexpr char kGivenTwice[] = " is given twice";
constexpr char kNoValue[] = " has no value";
constexpr char kBadEscape[] = " holds a malformed percent escape";
constexpr char kUnsafe[] = " holds a space, quote or control character";
constexpr char kStartsAsOption[] = " starts with '-'";
constexpr char kDigitsOnly[] = " takes digits only";
constexpr char kDateOnly[] = " takes live or eight digits";
constexpr char kTimeOnly[] = " takes digits and ':' only";
constexpr char kHostOnly[] = " takes a host name, an IPv4 address or an IPv6 address in []";

bool StartsWithFolded(const std::string& text, std::string::size_type at, const char* prefix) {
    for (; *prefix != '\0'; ++at, ++prefix) {
        if (at >= text.size() || std::tolower(static_cast<unsigned char>(text[at])) != *prefix) return false;
    }
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "%" and two hex digits stand for one byte; any other "%" is malformed.
bool PercentDecode(const std::string& text, std::string& decoded) {
    decoded.clear();
    for (std::string::size_type i = 0; i < text.size(); ++i) {
        if (text[i] != kEscape) {
            decoded += text[i];
            continue;
        }
        const int high = i + 2 < text.size() ? HexDigit(text[i + 1]) : -1;
        const int low = high < 0 ? -1 : HexDigit(text[i + 2]);
        if (low < 0) return false;
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

// A key as a refusal names it; an empty one as "".
std::string Shown(const std::string& key) { return "key " + (key.empty() ? "\"\"" : LinkAsLogged(key)); }

bool IsUnsafe(unsigned char c) { return c < ' ' || c == ' ' || c == 0x7F || c == '"' || c == '\''; }

bool AllOf(const std::string& text, bool (*allowed)(unsigned char)) {
    return std::all_of(text.begin(), text.end(), allowed);
}

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsTimeCharacter(unsigned char c) { return IsDigit(c) || c == ':'; }
bool IsHostCharacter(unsigned char c) { return std::isalnum(c) || c == '.' || c == '-'; }
bool IsIPv6Character(unsigned char c) { return std::isxdigit(c) || c == ':' || c == '.'; }

bool IsServer(const std::string& value) {
    if (value.front() != '[') return AllOf(value, IsHostCharacter);
    return value.size() > 2 && value.back() == ']' &&
           AllOf(value.substr(1, value.size() - 2), IsIPv6Character);
}

// The reason a decoded value does not fit its key, or null when it fits.
const char* ValueRefusal(const std::string& key, const std::string& value) {
    if (!AllOf(value, [](unsigned char c) { return !IsUnsafe(c); })) return kUnsafe;
    if (value.front() == kOptionMarker) return kStartsAsOption;
    switch (key.front()) {
    case 'c':
    case 'p':
        return AllOf(value, IsDigit) ? nullptr : kDigitsOnly;
    case 'd':
        return value == kLiveDate || (value.size() == kDateDigits && AllOf(value, IsDigit)) ? nullptr
                                                                                            : kDateOnly;
    case 'b':
    case 'e':
        return AllOf(value, IsTimeCharacter) ? nullptr : kTimeOnly;
    default:
        return IsServer(value) ? nullptr : kHostOnly;
    }
}

bool IsRequestKey(const std::string& key) {
    return std::find(std::begin(kRequestKeys), std::end(kRequestKeys), key) != std::end(kRequestKeys);
}

// Reads one "key=value" pair into values; false with refusal when it may not stand.
bool ReadPair(const std::string& pair, LinkValues& values, std::string& refusal) {
    const auto keyEnd = pair.find(kKeyEnd);
    const std::string rawKey = pair.substr(0, keyEnd);
    const std::string rawValue = keyEnd == std::string::npos ? "" : pair.substr(keyEnd + 1);
    std::string key, value;
    if (!PercentDecode(rawKey, key)) {
        refusal = Shown(rawKey) + kBadEscape;
        return false;
    }
    const char* why = !IsRequestKey(key)                ? kNotAnOption
                      : values.count(key) != 0          ? kGivenTwice
                      : rawValue.empty()                ? kNoValue
                      : !PercentDecode(rawValue, value) ? kBadEscape
                                                        : ValueRefusal(key, value);
    if (why != nullptr) {
        refusal = Shown(key) + why;
        return false;
    }
    values[key] = value;
    return true;
}

}  // namespace

const char kLinkNotAlone[] = "a link must be the only argument";

std::string LinkAsLogged(const std::string& text) {
    std::string shown;
    for (unsigned char c : text) {
        if (c > ' ' && c < 0x7F && c != kEscape) {
            shown += static_cast<char>(c);
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", c);
            shown += escape;
        }
    }
    return shown;
}

std::vector<std::string> ArgumentsAsLogged(std::vector<std::string> arguments, bool linkGiven) {
    if (!linkGiven) return arguments;
    for (auto& argument : arguments) argument = LinkAsLogged(argument);
    return arguments;
}

bool HoldsRequestLink(const std::vector<std::string>& arguments) {
    return std::any_of(arguments.begin(), arguments.end(),
                       [](const std::string& argument) { return StartsWithFolded(argument, 0, kScheme); });
}

bool ReadRequestLink(const std::string& link, LinkValues& values, std::string& refusal) {
    values.clear();
    // Decided first: a character outside ASCII may be a lookalike of one that a
    // request takes (a full-width "c"); then the length, before any other work.
    if (!AllOf(link, [](unsigned char c) { return c < 0x80; })) {
        refusal = kNotAscii;
        return false;
    }
    if (link.size() > kLongestLink) {
        refusal = kTooLong + std::to_string(kLongestLink) + kCharacters;
        return false;
    }
    std::string::size_type at = sizeof kScheme - 1;
    if (!StartsWithFolded(link, 0, kScheme)) at = std::string::npos;
    if (at != std::string::npos && link.compare(at, 2, kAuthorityStart) == 0) {
        at += 2;
        if (StartsWithFolded(link, at, kHost)) at += sizeof kHost - 1;
    }
    if (at < link.size() && link[at] == kPathEnd) ++at;
    if (at >= link.size() || link[at] != kQueryStart) {
        refusal = kNotAQuery;
        return false;
    }
    const std::string query = link.substr(at + 1);
    std::string::size_type start = 0;
    while (start <= query.size()) {
        auto end = query.find(kPairSeparator, start);
        if (end == std::string::npos) end = query.size();
        // An empty pair (a trailing "&") asks for nothing.
        if (end > start && !ReadPair(query.substr(start, end - start), values, refusal)) {
            values.clear();
            return false;
        }
        start = end + 1;
    }
    return true;
}

std::string EquivalentOptions(const LinkValues& values) {
    std::string options;
    for (const char* key : kRequestKeys) {
        auto found = values.find(key);
        if (found == values.end()) continue;
        if (!options.empty()) options += ' ';
        options += kOptionMarker + std::string(key) + ' ' + found->second;
    }
    return options;
}
