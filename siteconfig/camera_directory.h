// The site's cameras and the client window settings, for the whole run: the
// reader writes them, the client init writer reads them after.
#pragma once

#include <map>
#include <string>

// One camera as the site configuration declares it. Fields whose attribute was absent (or empty) are empty.
struct CameraRecord {
    std::string systemAddress;  // the enclosing System's IPAddr, verbatim
    std::string inputName;
    std::string inputNumber;  // as written, never converted
    std::string device;
};

// Keyed by MakeCameraKey; keys compare as plain byte strings.
using CameraDirectory = std::map<std::string, CameraRecord>;

// Five pixel values on the virtual screen (AllowExpansion: 0 off, else on).
// Left and Top at -1 mean "not given".
struct ClientWindowSettings {
    int Width = 392;
    int Height = 377;
    int Left = -1;
    int Top = -1;
    int AllowExpansion = 0;
};

// The process-wide instances.
CameraDirectory& TheCameraDirectory();
ClientWindowSettings& TheClientWindowSettings();

// The system address, a colon and the camera number in signed decimal:
// "10.1.2.3" and 7 give "10.1.2.3:7". Both sides form keys only through this.
std::string MakeCameraKey(const std::string& systemAddress, int cameraNumber);

// Inserts, or replaces the record under key as a whole: the last one stored wins.
void StoreCamera(std::string key, CameraRecord record);

// The record stored under exactly this key, or null.
const CameraRecord* FindCamera(const std::string& key);
