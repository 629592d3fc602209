// Finds a named option in the command line text (the arguments, each followed by one space) and takes out its
// value. An option is "-" and its name in any case, or, only where no "-" form occurs and SlashMarksOptions,
// "/" and its name as typed; it counts only where an argument starts, and the first one wins. The value
// follows after at most one space, up to the next space.
#pragma once

#include <string>

// True with the option's value (possibly empty) when found; otherwise false with value emptied.
bool GetCmdLineOption(std::string commandLine, std::string option, std::string& value);
