// Runs a built program to its end for the end-to-end tests, and the few facts
// about the platform's text files that the tests compare against.
#pragma once

#include <string>
#include <vector>

struct ProgramRun {
    int exitStatus = -1;
    std::string standardOutput;  // bytes as written
    std::string standardError;
};

// Starts program with the arguments (argument 0 is program itself) in
// workingDirectory, with no standard input, and waits for it.
bool RunProgramAndWait(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& workingDirectory, ProgramRun& run);

// The line end that the program's text files and standard streams carry.
const char* TextLineEnd();
