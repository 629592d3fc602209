// Finds a named option in the command line text and takes out its value.
//
// The text is the program's arguments, each followed by one space. An option is
// "-" and its name in any letter case, or, only where no "-" form occurs, "/" and
// its name as typed; it counts only where an argument starts (at the start of the
// text or right after a space). The first occurrence wins. The value is what
// follows, after at most one space, up to the next space. The "/" form counts
// only where the platform marks options with it (SlashMarksOptions): not where
// absolute paths begin with "/".
#pragma once

#include <string>

// True with the option's value (possibly empty) when found; otherwise false
// with value emptied.
bool GetCmdLineOption(std::string commandLine, std::string option, std::string& value);
