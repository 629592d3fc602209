// The check behind kestrup-check: reads a site configuration exactly as a run
// does and describes what it stores, what it passes over and why.
#pragma once

#include <string>

// The check's exit status when the file cannot be read or is not a site configuration.
constexpr int kCheckUnreadable = 2;

// Reads path into the process's camera directory and window settings (once per process: the directory only
// grows) and gives the report: the warnings in line order, then each stored camera in key order, then the
// window settings. An unreadable file gives its error line (and a note on its encoding) only. Returns 0 when
// nothing is passed over, 1 for any warning, else kCheckUnreadable.
int CheckSiteConfiguration(const std::string& path, std::string& report);
