// Reads the site configuration file into the camera directory and the client
// window settings (camera_directory.h).
#pragma once

#include <string>

// True when at least one camera was stored during this call. May change the
// window settings and add to the camera directory; writes what it finds, and
// each camera it rejects, to the run log while the log is present.
bool ReadSiteConfiguration(const std::string& path);
