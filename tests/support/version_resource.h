// The file version that a built program carries in its version resource.
#pragma once

#include <string>

// The resource's file version as its fixed numbers ("1.1.1.27804") and as its FileVersion text. False where
// the program has no version resource, as no native program has.
bool ReadFileVersion(const std::string& program, std::string& numbers, std::string& text);
