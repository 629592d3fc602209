#include "program_directory.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace {

std::string FourNumbers(DWORD high, DWORD low) {
    return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." +
           std::to_string(HIWORD(low)) + "." + std::to_string(LOWORD(low));
}

}  // namespace

bool ReadFileVersion(const std::string& program, std::string& numbers, std::string& text) {
    DWORD unused = 0;
    const DWORD size = GetFileVersionInfoSizeA(program.c_str(), &unused);
    if (size == 0) return false;
    std::vector<char> resource(size);
    if (!GetFileVersionInfoA(program.c_str(), 0, size, resource.data())) return false;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(resource.data(), "\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO))
        return false;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    numbers = FourNumbers(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
    // The texts are kept under the language and code page of the first translation.
    if (!VerQueryValueA(resource.data(), "\\VarFileInfo\\Translation", &value, &length) || length < 4)
        return false;
    const auto* translation = static_cast<const WORD*>(value);
    char key[64];
    std::snprintf(key, sizeof key, "\\StringFileInfo\\%04x%04x\\FileVersion", translation[0], translation[1]);
    if (!VerQueryValueA(resource.data(), key, &value, &length) || length == 0) return false;
    text = static_cast<const char*>(value);
    return true;
}
