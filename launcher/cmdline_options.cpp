#include "cmdline_options.h"

#include <cctype>

#include "platform.h"

namespace {

constexpr char kFoldedMarker = '-';
constexpr char kExactMarker = '/';
constexpr char kSeparator = ' ';

std::string Folded(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The first occurrence of needle where an argument starts, or npos.
std::string::size_type FindAtArgumentStart(const std::string& text, const std::string& needle) {
    for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) {
        if (at == 0 || text[at - 1] == kSeparator) return at;
    }
    return std::string::npos;
}

}  // namespace

bool GetCmdLineOption(std::string commandLine, std::string option, std::string& value) {
    const std::string name = Folded(option);
    // Folding keeps the length, so a position in the folded copy is the same position in the text as typed.
    auto at = FindAtArgumentStart(Folded(commandLine), kFoldedMarker + name);
    if (at == std::string::npos && SlashMarksOptions()) {
        at = FindAtArgumentStart(commandLine, kExactMarker + name);
    }
    if (at == std::string::npos) {
        value.clear();
        return false;
    }
    std::string rest = commandLine.substr(at + 1 + name.size());
    if (!rest.empty() && rest.front() == kSeparator) rest.erase(0, 1);
    auto end = rest.find(kSeparator);
    if (end != std::string::npos) rest.erase(end);
    value = rest;
    return true;
}
