// Runs a built program whose process id a test needs before the program runs,
// to lay out files named for it.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Starts program with the arguments (argument 0 is program itself) in
// workingDirectory, calls prepare with its process id before the program itself
// runs, then lets it run and waits for it. Its standard output and error are not
// kept. False when it could not be started.
bool RunPreparedProgramAndWait(const std::string& program, const std::vector<std::string>& arguments,
                               const std::string& workingDirectory,
                               const std::function<void(unsigned long processId)>& prepare);
