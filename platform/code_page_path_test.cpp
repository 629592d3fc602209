// The program's own path in the ANSI code page; Wine makes a short name for every long one, so the refusal
// is only reached here.
#include "code_page_path.h"

#include <gtest/gtest.h>

namespace {

TEST(PathInCodePage, APathIsNamedOnlyBySpellingsThatNameItAlone) {
    const std::wstring lookalike = L"C:\\C\u0101ms\\Kestrup.exe";  // C:\Cāms, a best fit for C:\Cams
    const struct {
        unsigned codePage;
        std::wstring path, shortPath;
        bool named;
        std::string spelt;
    } cases[] = {
        {1252, L"C:\\Cams\\Kestrup.exe", L"", true, "C:\\Cams\\Kestrup.exe"},
        {1252, L"C:\\Caf\u00e9\\Kestrup.exe", L"C:\\CAF~1\\KESTRUP.EXE", true, "C:\\Caf\xE9\\Kestrup.exe"},
        {1252, lookalike, L"C:\\CMS~1\\KESTRUP.EXE", true, "C:\\CMS~1\\KESTRUP.EXE"},
        // No short names on the volume (ReFS, or turned off): none, or the long path again.
        {1252, lookalike, L"", false, ""},
        {1252, lookalike, lookalike, false, ""},
        // A short name is made of the OEM code page, which may lie outside ASCII.
        {1252, L"C:\\\u76f8\u673a\\Kestrup.exe", L"C:\\\u76f8\u673a~1\\KESTRUP.EXE", false, ""},
        {932, L"C:\\\u30ab\u30e1\u30e9\\Kestrup.exe", L"", true, "C:\\\x83\x4A\x83\x81\x83\x89\\Kestrup.exe"},
        // Japanese Windows writes the yen sign as a backslash: another directory.
        {932, L"C:\\Cam\u00a5Site\\Kestrup.exe", L"", false, ""},
        // A system whose ANSI code page is UTF-8 spells everything but a lone surrogate.
        {65001, lookalike, L"", true, "C:\\C\xC4\x81ms\\Kestrup.exe"},
        {65001, L"C:\\C\xD800ms\\Kestrup.exe", L"", false, ""},
    };
    for (const auto& c : cases) {
        std::string spelt;
        EXPECT_EQ(PathInCodePage(c.path, c.shortPath, c.codePage, spelt), c.named)
            << c.codePage << ' ' << c.spelt;
        EXPECT_EQ(spelt, c.spelt) << c.codePage;
    }
}

}  // namespace
