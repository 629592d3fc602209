// The check behind kestrup-check: reads a site configuration exactly as a run
// does and describes what it stores, what it passes over and why.
#pragma once

#include <string>

// Exit statuses of the check.
constexpr int kCheckClean = 0;       // every camera valid, nothing passed over
constexpr int kCheckWarnings = 1;    // something passed over or replaced, or no camera stored
constexpr int kCheckUnreadable = 2;  // the file cannot be read or is not a site configuration

// Reads path into the process's camera directory and window settings (once per
// process: the directory only grows) and gives the report: the diagnostics in
// document order, then each stored camera in key order, then the window
// settings. An unreadable file gives its one error line only.
int CheckSiteConfiguration(const std::string& path, std::string& report);
