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

// As GetCmdLineOption, the value read like atoi (leading white space, an
// optional sign, digits up to the first non-digit, 0 when there are none) but
// held at INT_MIN or INT_MAX when it is beyond them. When not found, value keeps
// what it held.
bool GetCmdLineOptionInt(std::string commandLine, std::string option, int& value);
