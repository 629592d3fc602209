// What start-up hands to the request run: where the program lies and how it was
// called, and the paths of the files that lie beside it.
#pragma once

#include <optional>
#include <string>

#include "request_link.h"

// The site configuration file read when -f is not given, beside the program; the
// usage text names it too.
inline constexpr char kDefaultConfigName[] = "KestrupConfig.xml";

// The Norvane Server's port when -p gives none; the usage text names it too.
inline constexpr int kDefaultPort = 22609;

struct RunContext {
    std::string programDirectory;    // no trailing separator
    std::string commandLineText;     // every argument, argument 0 included, each followed by a space
    std::string optionText;          // the same for arguments 1 onward: what options are looked up in
    std::optional<LinkValues> link;  // a link's values, when the run was given one: the options then
                                     // come from it alone, never from optionText
};

// The program directory, the separator and a fixed file name.
std::string ProgramFilePath(const RunContext& context, const char* fileName);
