#include "camera_directory.h"

#include <utility>

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

void StoreCamera(std::string key, CameraRecord record) {
    cameraDirectory.insert_or_assign(std::move(key), std::move(record));
}

const CameraRecord* FindCamera(const std::string& key) {
    auto found = cameraDirectory.find(key);
    return found == cameraDirectory.end() ? nullptr : &found->second;
}
