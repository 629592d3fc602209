#include "document_slots.h"

#include <algorithm>
#include <ctime>
#include <vector>

#include "run_log.h"

namespace {

constexpr char kLockName[] = "Kestrup.lock";
constexpr char kAccessNotCarriedLine[] = "Access of %s was not carried over to the new document.\n";
constexpr char kNoSlotFreeLine[] = "No client init document is free; the oldest, %s, is replaced.\n";

// Long enough for a client to start and read its document, short enough that
// requests a person makes one after another keep the first slot.
constexpr std::time_t kHoldSeconds = 15;
constexpr int kMostSlots = 64;
// A temporary file this old belongs to no live run; the sweep looks this seldom.
constexpr std::time_t kStrayAge = 10 * 60;

struct HeldSlot {
    std::string path;
    std::time_t written;
};

std::string SlotPath(const std::string& documentPath, int slot) {
    if (slot == 1) return documentPath;
    const auto nameStart = documentPath.rfind(PathSeparator()) + 1;
    auto extension = documentPath.rfind('.');
    if (extension == std::string::npos || extension < nameStart) extension = documentPath.size();
    return documentPath.substr(0, extension) + "-" + std::to_string(slot) + documentPath.substr(extension);
}

// A run killed just before its move may leave a named temporary file. The lock
// file's own last-write time keeps the sweep off all but one run in kStrayAge;
// two runs that sweep at once do no harm, so it stays out of the lock.
void SweepNowAndThen(const std::string& lockPath, const std::string& documentPath, std::time_t now) {
    std::time_t swept = 0;
    if (!GetLastWriteTime(lockPath, swept) || (swept > now - kStrayAge && swept <= now)) return;
    TouchFile(lockPath);
    RemoveStrayTemporaryFiles(documentPath, now - kStrayAge);
}

// A new slot's document takes the access of the document itself, so that what
// an administrator set there holds for every slot.
MoveResult MoveIntoSlot(TemporaryFile& file, const std::string& documentPath, const std::string& slotPath,
                        bool slotExists, std::string& errorText) {
    const std::string& model = slotExists ? slotPath : documentPath;
    bool accessCarried = true;
    if (!CarryAccess(file, model, accessCarried, errorText)) return MoveResult::kRefused;
    if (!accessCarried) WriteLogLine(kAccessNotCarriedLine, model.c_str());
    return KeepTemporaryFile(file, slotPath, errorText);
}

}  // namespace

bool KeepInFreeSlot(TemporaryFile& file, const std::string& documentPath, std::string& slotPath,
                    std::string& errorText) {
    const std::string lockPath = documentPath.substr(0, documentPath.rfind(PathSeparator()) + 1) + kLockName;
    SweepNowAndThen(lockPath, documentPath, std::time(nullptr));
    const FileLockPointer lock = LockFile(lockPath);
    const std::time_t now = std::time(nullptr);
    std::vector<HeldSlot> held;
    slotPath = documentPath;
    for (int slot = 1; slot <= kMostSlots; ++slot) {
        const std::string path = SlotPath(documentPath, slot);
        if (slot > 1 && path.size() > LongestPath()) break;  // the next are longer still
        std::time_t written = 0;
        const bool exists = GetLastWriteTime(path, written);
        if (exists && written > now - kHoldSeconds) {  // a time in the future is held too
            held.push_back({path, written});
            continue;
        }
        slotPath = path;
        const MoveResult result = MoveIntoSlot(file, documentPath, path, exists, errorText);
        if (result != MoveResult::kInUse) return result == MoveResult::kMoved;
    }
    std::stable_sort(held.begin(), held.end(),
                     [](const HeldSlot& a, const HeldSlot& b) { return a.written < b.written; });
    if (!held.empty()) WriteLogLine(kNoSlotFreeLine, held.front().path.c_str());
    for (const HeldSlot& slot : held) {
        slotPath = slot.path;
        const MoveResult result = MoveIntoSlot(file, documentPath, slot.path, true, errorText);
        if (result != MoveResult::kInUse) return result == MoveResult::kMoved;
    }
    return false;
}
