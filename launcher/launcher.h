// The program's one pass: start-up (program directory, command line text, help,
// run log, banner), then the request run, then the close of the run log.
#pragma once

#include <string>

// The site configuration file read when -f is not given, beside the program; the
// usage text names it too.
inline constexpr char kDefaultConfigName[] = "KestrupConfig.xml";

// What start-up hands to the rest of the run.
struct RunContext {
    std::string programDirectory;  // no trailing separator
    std::string commandLineText;   // every argument, argument 0 included, each followed by a space
    std::string optionText;        // the same for arguments 1 onward: what options are looked up in
};

// The program directory, the separator and a fixed file name.
std::string ProgramFilePath(const RunContext& context, const char* fileName);

// Runs the whole pass and gives the exit status, which is always 0. A help
// request prints the usage text and ends the process with exit(0).
int RunLauncher(int argc, char* argv[]);
