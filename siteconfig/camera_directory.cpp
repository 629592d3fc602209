#include "camera_directory.h"

#include <utility>

// Constructed before main, empty and with the defaults, and kept until exit.
// The directory is never destroyed: the process ends right after its last use,
// and freeing a large site's records one by one on the way out would only make
// the run longer.
namespace {
CameraDirectory& cameraDirectory = *new CameraDirectory;
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
