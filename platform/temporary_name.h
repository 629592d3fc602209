// The temporary files' names, for the platform files alone: "~", eight random
// lower-case letters or digits (Windows ignores case), ".tmp", as long as the
// document's own name, so that no path limit refuses the one and not the other.
#pragma once

#include <random>
#include <string>

#include "platform.h"

inline constexpr char kTemporaryNameStart = '~';
inline constexpr char kTemporaryNameEnd[] = ".tmp";
inline constexpr char kTemporaryNameDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
inline constexpr std::string::size_type kTemporaryNameRandomDigits = 8;
// Another name is taken only when one is found taken: all but impossible.
inline constexpr int kTemporaryNameTries = 16;

// The directory of path with its last separator: "./" for a bare name.
inline std::string DirectoryOf(const std::string& path) {
    const auto end = path.rfind(PathSeparator()) + 1;
    return end == 0 ? std::string(".") + PathSeparator() : path.substr(0, end);
}

// From the system's random source, so that runs started at once draw apart.
inline std::string NewTemporaryPath(const std::string& besidePath) {
    std::random_device source;
    std::string path = DirectoryOf(besidePath) + kTemporaryNameStart;
    for (std::string::size_type at = 0; at < kTemporaryNameRandomDigits; ++at) {
        path += kTemporaryNameDigits[source() % (sizeof kTemporaryNameDigits - 1)];
    }
    return path + kTemporaryNameEnd;
}
