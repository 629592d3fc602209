// Runs a built program to its end for the end-to-end tests.
#pragma once

#include <chrono>
#include <string>
#include <vector>

struct ProgramRun {
    bool started = false;  // false: the system refused to start it
    int exitStatus = -1;
    std::string standardOutput;  // bytes as written
    std::string standardError;
};

// How long a run may take, its output read to the end included.
constexpr std::chrono::seconds kRunTimeout{60};

// Starts program with the arguments (argument 0 is program itself; all are UTF-8 text, which on Windows
// reaches the wide command line as it is) in workingDirectory, with no standard input, reads its standard
// output and error through pipes to their end, as most callers do, and waits for it to exit. False when it
// cannot be started, or when it has not closed its output and exited within kRunTimeout; it is then killed,
// and what it wrote is kept.
bool RunProgramAndWait(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& workingDirectory, ProgramRun& run);
