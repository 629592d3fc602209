#include "camera_directory.h"

// Constructed before main, empty and with the defaults, and kept until exit.
namespace {
CameraDirectory cameraDirectory;
ClientWindowSettings clientWindowSettings;
}  // namespace

CameraDirectory& TheCameraDirectory() { return cameraDirectory; }

ClientWindowSettings& TheClientWindowSettings() { return clientWindowSettings; }

std::string MakeCameraKey(const std::string& systemAddress, int cameraNumber) {
    return systemAddress + ":" + std::to_string(cameraNumber);
}

void StoreCamera(const std::string& key, const CameraRecord& record) { cameraDirectory[key] = record; }

const CameraRecord* FindCamera(const std::string& key) {
    auto found = cameraDirectory.find(key);
    return found == cameraDirectory.end() ? nullptr : &found->second;
}
