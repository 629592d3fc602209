#include "test_text.h"

#include <cstdio>
#include <stdexcept>

#include "platform.h"
#include "scratch_directory.h"

// Told by the platform layer that the build picked, as the programs themselves are.
bool WindowsBuild() { return PathSeparator() == '\\'; }

std::string Repeated(const std::string& text, int count) {
    std::string result;
    if (count > 0) result.reserve(text.size() * static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) result += text;
    return result;
}

std::string Attributes(int count, int first) {
    std::string result;
    for (int i = first; i < first + count; ++i) result += " a" + std::to_string(i) + "='1'";
    return result;
}

const std::string& TextModeLineEnd() {
    // Asked of the C runtime itself, once: a line end written in text mode, read back byte for byte.
    static const std::string lineEnd = [] {
        const ScratchDirectory scratch("kestrup-line-end");
        const std::string probe = scratch.File("line_end.probe");
        std::FILE* file = std::fopen(probe.c_str(), "w");
        if (file == nullptr) throw std::runtime_error("cannot write " + probe);
        const bool written = std::fputs("\n", file) != EOF;
        if (std::fclose(file) != 0 || !written) throw std::runtime_error("cannot write " + probe);
        return ReadFileBytes(probe);
    }();
    return lineEnd;
}

std::string WithLineEnds(const std::string& text) { return ReplaceAll(text, "\n", TextModeLineEnd()); }

std::string WithoutCarriageReturns(const std::string& text) { return ReplaceAll(text, "\r", ""); }

size_t Occurrences(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    if (from.empty()) return text;
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}
