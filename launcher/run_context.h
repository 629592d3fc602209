// The one record of a request: where the program lies, how it was called, and
// what the request is worked out from.
#pragma once

#include <optional>
#include <string>

#include "request_link.h"

// The site configuration file read when -f is not given, beside the program; the usage text names it too.
inline constexpr char kDefaultConfigName[] = "KestrupConfig.xml";

// The Norvane Server's port when -p gives none; the usage text names it too.
inline constexpr int kDefaultPort = 22609;

struct RunContext {
    std::string programDirectory;    // no trailing separator
    std::string commandLineText;     // every argument, argument 0 included, each followed by a space
    std::string optionText;          // the same for arguments 1 onward: what options are looked up in
    std::optional<LinkValues> link;  // when given, the options come from it alone
    std::string configPath;          // the site file, once the request run has settled it
};

// The program directory, the separator and a fixed file name.
std::string ProgramFilePath(const RunContext& context, const char* fileName);
