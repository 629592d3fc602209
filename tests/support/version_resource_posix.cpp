#include "program_directory.h"

// Native programs carry no version resource.
bool ReadFileVersion(const std::string&, std::string&, std::string&) { return false; }
