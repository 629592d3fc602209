#include "camera_directory.h"

#include <charconv>
#include <cstring>
#include <iterator>
#include <utility>

// Constructed before main, empty and with the defaults, and kept until exit.
// The directory is never destroyed: the process ends right after its last use,
// and freeing a large site's records one by one on the way out would only make
// the run longer.
namespace {
CameraDirectory& cameraDirectory = *new CameraDirectory;
ClientWindowSettings clientWindowSettings;

// Where StoreCamera put its last record, and the directory's size just after.
// The reader stores a system's cameras by rising number, and each key then
// mostly sorts right after the one before it ("a:8", "a:9" and "a:10", "a:11"
// alike), so that spot spares a search from the root. The iterator is trusted
// only while nothing but StoreCamera can have changed the directory: handing
// the directory out forgets it, and so does a size that has moved.
CameraDirectory::iterator lastStored;
CameraDirectory::size_type sizeAfterLastStore = 0;
}  // namespace

CameraDirectory& TheCameraDirectory() {
    sizeAfterLastStore = 0;
    return cameraDirectory;
}

ClientWindowSettings& TheClientWindowSettings() { return clientWindowSettings; }

std::string MakeCameraKey(const std::string& systemAddress, int cameraNumber) {
    // Built in one string, once per camera a large site declares: the number
    // in the same decimal that std::to_string writes.
    char number[16];
    const size_t numberLength =
        static_cast<size_t>(std::to_chars(number, number + sizeof number, cameraNumber).ptr - number);
    std::string key(systemAddress.size() + 1 + numberLength, ':');
    systemAddress.copy(&key[0], systemAddress.size());
    std::memcpy(&key[systemAddress.size() + 1], number, numberLength);
    return key;
}

void StoreCamera(std::string key, CameraRecord record) {
    // A wrong hint costs two comparisons and then the usual search; the map
    // checks it, so the record lands where a plain insertion would put it.
    CameraDirectory::iterator hint = cameraDirectory.end();
    if (sizeAfterLastStore != 0 && sizeAfterLastStore == cameraDirectory.size()) hint = std::next(lastStored);
    lastStored = cameraDirectory.insert_or_assign(hint, std::move(key), std::move(record));
    sizeAfterLastStore = cameraDirectory.size();
}

const CameraRecord* FindCamera(const std::string& key) {
    auto found = cameraDirectory.find(key);
    return found == cameraDirectory.end() ? nullptr : &found->second;
}
