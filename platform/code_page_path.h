// Windows only: how the program names a path it got in UTF-16 (its own) in the ANSI code page of its paths.
#pragma once

#include <string>

// path as codePage spells it exactly (converted to the code page and back, it is the same path); else
// shortPath, when that is not empty and is plain ASCII. False when neither: a best-fit spelling would name
// another file, a sibling's lookalike (C:\Cāms as C:\Cams), so the path is not named at all.
bool PathInCodePage(const std::wstring& path, const std::wstring& shortPath, unsigned codePage,
                    std::string& spelt);
