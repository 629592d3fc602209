// The names of the temporary files that replace a document, for the platform
// files alone: "~", eight random lower-case letters or digits (Windows names
// ignore case), ".tmp". Thirteen characters, as many as the document's own name.
#pragma once

#include <random>
#include <string>

#include "platform.h"

inline constexpr char kTemporaryNameStart = '~';
inline constexpr char kTemporaryNameEnd[] = ".tmp";
inline constexpr char kTemporaryNameDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
inline constexpr std::string::size_type kTemporaryNameRandomDigits = 8;
inline constexpr std::string::size_type kTemporaryNameLength =
    1 + kTemporaryNameRandomDigits + sizeof kTemporaryNameEnd - 1;

// How many names a creation tries before it gives up: another name is taken
// only when one is found taken, which random names make all but impossible.
inline constexpr int kTemporaryNameTries = 16;

// The directory part of documentPath, its last separator included: empty for a
// bare name (the current directory).
inline std::string DirectoryOf(const std::string& documentPath) {
    return documentPath.substr(0, documentPath.rfind(PathSeparator()) + 1);
}

// A fresh temporary path in the directory of documentPath. The random source is
// the system's (getentropy natively, rand_s on Windows), so runs that start at
// the same moment still draw different names.
inline std::string NewTemporaryPath(const std::string& documentPath) {
    std::random_device source;
    std::string path = DirectoryOf(documentPath) + kTemporaryNameStart;
    for (std::string::size_type at = 0; at < kTemporaryNameRandomDigits; ++at) {
        path += kTemporaryNameDigits[source() % (sizeof kTemporaryNameDigits - 1)];
    }
    return path + kTemporaryNameEnd;
}
