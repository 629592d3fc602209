#include "camera_directory.h"

#include <charconv>
#include <cstring>
#include <iterator>
#include <utility>

// Never destroyed: freeing a large site's records on the way out only slows the exit.
namespace {
CameraDirectory& cameraDirectory = *new CameraDirectory;
ClientWindowSettings clientWindowSettings;

// Where StoreCamera put its last record: cameras come by rising number, so the
// next key mostly sorts right after it. Forgotten when anything else could have
// changed the directory (it was handed out, or its size moved).
CameraDirectory::iterator lastStored;
CameraDirectory::size_type sizeAfterLastStore = 0;
}  // namespace

CameraDirectory& TheCameraDirectory() {
    sizeAfterLastStore = 0;
    return cameraDirectory;
}

ClientWindowSettings& TheClientWindowSettings() { return clientWindowSettings; }

std::string MakeCameraKey(const std::string& systemAddress, int cameraNumber) {
    // One string per camera; the number in std::to_string's decimal.
    char number[16];
    const size_t numberLength =
        static_cast<size_t>(std::to_chars(number, number + sizeof number, cameraNumber).ptr - number);
    std::string key(systemAddress.size() + 1 + numberLength, ':');
    systemAddress.copy(&key[0], systemAddress.size());
    std::memcpy(&key[systemAddress.size() + 1], number, numberLength);
    return key;
}

void StoreCamera(std::string key, CameraRecord record) {
    // The map checks the hint: a wrong one costs two comparisons.
    CameraDirectory::iterator hint = cameraDirectory.end();
    if (sizeAfterLastStore != 0 && sizeAfterLastStore == cameraDirectory.size()) hint = std::next(lastStored);
    lastStored = cameraDirectory.insert_or_assign(hint, std::move(key), std::move(record));
    sizeAfterLastStore = cameraDirectory.size();
}

const CameraRecord* FindCamera(const std::string& key) {
    auto found = cameraDirectory.find(key);
    return found == cameraDirectory.end() ? nullptr : &found->second;
}
