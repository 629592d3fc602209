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

// Runs program with UTF-8 arguments in workingDirectory, no standard input, reading its output and error
// to their end, and waits for it. False when it cannot start, or has not closed its output and exited
// within kRunTimeout: it is then killed, and what it wrote is kept.
bool RunProgramAndWait(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& workingDirectory, ProgramRun& run);
