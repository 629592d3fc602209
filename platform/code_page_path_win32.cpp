#include "code_page_path.h"

#include <windows.h>

#include <algorithm>

namespace {

// No WC_NO_BEST_FIT_CHARS: UTF-8 refuses the flag; the way back finds every best-fit or default character.
bool SpellExactly(const std::wstring& path, unsigned codePage, std::string& spelt) {
    const int length = static_cast<int>(path.size());
    const int size = WideCharToMultiByte(codePage, 0, path.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return false;
    std::string text(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, path.data(), length, text.data(), size, nullptr, nullptr);
    const int back = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring again(back > 0 ? static_cast<size_t>(back) : 0, L'\0');
    if (back > 0) MultiByteToWideChar(codePage, 0, text.data(), size, again.data(), back);
    if (again == path) spelt = text;
    return again == path;
}

bool PlainAscii(const std::wstring& text) {
    return std::all_of(text.begin(), text.end(), [](wchar_t c) { return c != 0 && c <= 0x7F; });
}

}  // namespace

bool PathInCodePage(const std::wstring& path, const std::wstring& shortPath, unsigned codePage,
                    std::string& spelt) {
    if (!path.empty() && SpellExactly(path, codePage, spelt)) return true;
    if (shortPath.empty() || !PlainAscii(shortPath)) return false;
    spelt.assign(shortPath.begin(), shortPath.end());
    return true;
}
