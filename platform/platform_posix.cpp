// The platform interface on POSIX systems (Linux).
#include "platform.h"
#include "temporary_name.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <locale.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <syslog.h>
#include <unistd.h>

extern char** environ;

// Unnamed (O_TMPFILE) where /proc can name it just before the rename, through
// the descriptor kept here; the stream's goes when the caller closes it.
struct TemporaryFile {
    std::string besidePath;
    std::string path;  // empty while the file has no name
    int descriptor = -1;
};

namespace {

constexpr char kProcSelfExe[] = "/proc/self/exe";
constexpr char kProcSelfFd[] = "/proc/self/fd";
constexpr char kX11Library[] = "libX11.so.6";
constexpr char kDisplayVariable[] = "DISPLAY";
constexpr char kNullDevice[] = "/dev/null";
// What Windows reports for a machine without a display; also our fallback.
constexpr VirtualScreen kNoDisplayScreen = {0, 0, 1024, 768};
// A lock is tried this often, this far apart: about two seconds.
constexpr int kLockTries = 200;
constexpr useconds_t kLockPauseMicroseconds = 10000;

// O_NONBLOCK keeps a named pipe at path from stalling the open; later I/O blocks.
int OpenWithoutWaiting(const std::string& path, int flags) {
    const int descriptor = open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
    if (descriptor >= 0) fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    return descriptor;
}

bool IsTemporaryName(const std::string& name) {
    constexpr std::string::size_type kEndAt = 1 + kTemporaryNameRandomDigits;
    return name.size() == kEndAt + sizeof kTemporaryNameEnd - 1 && name.front() == kTemporaryNameStart &&
           name.find_first_not_of(kTemporaryNameDigits, 1) == kEndAt &&
           name.compare(kEndAt, std::string::npos, kTemporaryNameEnd) == 0;
}

// linkat names an unnamed file only through /proc/self/fd, which a chroot may lack.
bool ProcNamesDescriptors() {
    struct statfs status;
    return statfs(kProcSelfFd, &status) == 0 && status.f_type == PROC_SUPER_MAGIC;
}

// O_EXCL fails on anything found at the name, links included.
int OpenTemporaryFile(TemporaryFile& file) {
    if (ProcNamesDescriptors()) {
        const int descriptor =
            open(DirectoryOf(file.besidePath).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (descriptor >= 0) return descriptor;
    }
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        const std::string path = NewTemporaryPath(file.besidePath);
        const int named = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (named >= 0) file.path = path;
        if (named >= 0 || errno != EEXIST) return named;
    }
    return -1;
}

}  // namespace

void KeepLargeBlocksInHeap() {
#ifdef M_MMAP_THRESHOLD
    // The largest threshold glibc accepts on 64-bit systems; a site file stays below it.
    constexpr int kLargestHeapBlock = 32 * 1024 * 1024;
    mallopt(M_MMAP_THRESHOLD, kLargestHeapBlock);
#endif
}

bool GetRunningProgramPath(const char* argumentZero, std::string& path, std::string&) {
    std::string buffer(256, '\0');
    ssize_t length = 0;
    // A full buffer means the path may have been cut; try again with more room.
    while ((length = readlink(kProcSelfExe, buffer.data(), buffer.size())) ==
           static_cast<ssize_t>(buffer.size())) {
        buffer.resize(buffer.size() * 2);
    }
    if (length >= 0) path.assign(buffer, 0, static_cast<size_t>(length));
    if (length < 0) path = argumentZero != nullptr ? argumentZero : "";
    return true;
}

void ReportToSystemLog(const std::string& text) { syslog(LOG_USER | LOG_ERR, "%s", text.c_str()); }

// Natively nothing holds a started program back from the front.
void AllowNextProgramToTheFront() {}

char PathSeparator() { return '/'; }

// LC_TIME's "%X" through a locale object of its own: the program's C locale stays.
std::string LocalTimeOfDayText() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) return std::string();
    constexpr locale_t kNoLocale = static_cast<locale_t>(0);
    locale_t timeLocale = newlocale(LC_TIME_MASK, "", kNoLocale);
    if (timeLocale == kNoLocale) timeLocale = newlocale(LC_TIME_MASK, "C", kNoLocale);
    if (timeLocale == kNoLocale) return std::string();
    char text[255];
    size_t length = strftime_l(text, sizeof text, "%X", &local, timeLocale);
    freelocale(timeLocale);
    return std::string(text, length);
}

// The X display's default screen; libX11 is loaded only when DISPLAY names a display.
VirtualScreen GetVirtualScreen() {
    const char* displayName = std::getenv(kDisplayVariable);
    if (displayName == nullptr || displayName[0] == '\0') return kNoDisplayScreen;
    void* library = dlopen(kX11Library, RTLD_LAZY | RTLD_LOCAL);
    if (library == nullptr) return kNoDisplayScreen;
    auto openDisplay = reinterpret_cast<void* (*)(const char*)>(dlsym(library, "XOpenDisplay"));
    auto closeDisplay = reinterpret_cast<int (*)(void*)>(dlsym(library, "XCloseDisplay"));
    auto defaultScreen = reinterpret_cast<int (*)(void*)>(dlsym(library, "XDefaultScreen"));
    auto displayWidth = reinterpret_cast<int (*)(void*, int)>(dlsym(library, "XDisplayWidth"));
    auto displayHeight = reinterpret_cast<int (*)(void*, int)>(dlsym(library, "XDisplayHeight"));
    VirtualScreen screen = kNoDisplayScreen;
    if (openDisplay && closeDisplay && defaultScreen && displayWidth && displayHeight) {
        if (void* display = openDisplay(nullptr)) {
            int number = defaultScreen(display);
            screen = {0, 0, displayWidth(display, number), displayHeight(display, number)};
            closeDisplay(display);
        }
    }
    dlclose(library);
    return screen;
}

std::string LastErrorText() { return std::strerror(errno); }

void DiscardTemporaryFile(TemporaryFile* file) {
    if (!file->path.empty()) unlink(file->path.c_str());
    if (file->descriptor >= 0) close(file->descriptor);
    delete file;
}

TemporaryFilePointer CreateTemporaryFile(const std::string& besidePath, std::FILE*& stream,
                                         std::string& errorText) {
    TemporaryFilePointer file(new TemporaryFile, DiscardTemporaryFile);
    file->besidePath = besidePath;
    const int descriptor = OpenTemporaryFile(*file);
    if (descriptor >= 0) file->descriptor = fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    if (descriptor < 0 || file->descriptor < 0 || (stream = fdopen(descriptor, "w")) == nullptr) {
        errorText = LastErrorText();
        if (descriptor >= 0) close(descriptor);
        file.reset();
    }
    return file;
}

// The permission bits only (set-group-id can mean mandatory locking), after fchown,
// which may clear them. A directory needs no word: the rename over it fails.
bool CarryAccess(TemporaryFile& file, const std::string& modelPath, bool& accessCarried,
                 std::string& errorText) {
    accessCarried = true;
    struct stat model;
    if (lstat(modelPath.c_str(), &model) != 0) {
        if (errno == ENOENT) return true;
    } else if (!S_ISREG(model.st_mode)) {
        accessCarried = S_ISDIR(model.st_mode);
        return true;
    } else {
        if (fchown(file.descriptor, model.st_uid, model.st_gid) != 0) {
            static_cast<void>(fchown(file.descriptor, static_cast<uid_t>(-1), model.st_gid));
        }
        if (fchmod(file.descriptor, model.st_mode & 0777) == 0) return true;
    }
    errorText = LastErrorText();
    return false;
}

// linkat fails on anything found at the name, links included.
MoveResult KeepTemporaryFile(TemporaryFile& file, const std::string& path, std::string& errorText) {
    const std::string self = std::string(kProcSelfFd) + "/" + std::to_string(file.descriptor);
    for (int attempt = 0; file.path.empty() && attempt < kTemporaryNameTries; ++attempt) {
        const std::string named = NewTemporaryPath(file.besidePath);
        if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, named.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            file.path = named;
        } else if (errno != EEXIST) {
            break;
        }
    }
    if (!file.path.empty() && std::rename(file.path.c_str(), path.c_str()) == 0) {
        file.path.clear();  // the document's name now
        return MoveResult::kMoved;
    }
    errorText = LastErrorText();
    return MoveResult::kRefused;
}

// By what lstat says, not by an identity check.
void RemoveStrayTemporaryFiles(const std::string& besidePath, std::time_t before) {
    DIR* listing = opendir(DirectoryOf(besidePath).c_str());
    if (listing == nullptr) return;
    while (const dirent* entry = readdir(listing)) {
        struct stat status;
        if (IsTemporaryName(entry->d_name) &&
            fstatat(dirfd(listing), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(status.st_mode) && status.st_uid == geteuid() && status.st_nlink == 1 &&
            status.st_mtime < before) {
            unlinkat(dirfd(listing), entry->d_name, 0);
        }
    }
    closedir(listing);
}

bool GetLastWriteTime(const std::string& path, std::time_t& time) {
    struct stat status;
    if (lstat(path.c_str(), &status) != 0 || S_ISDIR(status.st_mode)) return false;
    time = status.st_mtime;
    return true;
}

bool TouchFile(const std::string& path) {
    return utimensat(AT_FDCWD, path.c_str(), nullptr, AT_SYMLINK_NOFOLLOW) == 0;
}

std::size_t LongestPath() { return PATH_MAX - 1; }

struct FileLock {
    int descriptor;
};

void ReleaseFileLock(FileLock* lock) {
    close(lock->descriptor);
    delete lock;
}

FileLockPointer LockFile(const std::string& path) {
    FileLockPointer lock(nullptr, ReleaseFileLock);
    const int descriptor = OpenWithoutWaiting(path, O_RDONLY | O_CREAT | O_NOFOLLOW);
    if (descriptor < 0) return lock;
    lock.reset(new FileLock{descriptor});
    for (int attempt = 0; attempt < kLockTries; ++attempt) {
        if (flock(descriptor, LOCK_EX | LOCK_NB) == 0) return lock;
        if (errno != EWOULDBLOCK && errno != EINTR) break;
        usleep(kLockPauseMicroseconds);
    }
    return FileLockPointer(nullptr, ReleaseFileLock);
}

struct AppendFile {
    int descriptor;
};

void AppendFileCloser::operator()(AppendFile* file) const {
    close(file->descriptor);
    delete file;
}

// O_APPEND moves to the end and writes in one step, so overlapping records stay whole.
AppendFilePointer OpenAppendFile(const std::string& path) {
    int descriptor = OpenWithoutWaiting(path, O_WRONLY | O_APPEND | O_CREAT);
    if (descriptor < 0) return nullptr;
    return AppendFilePointer(new AppendFile{descriptor});
}

bool AppendToFile(AppendFile& file, const std::string& text) {
    for (size_t done = 0; done < text.size();) {
        const ssize_t written = write(file.descriptor, text.data() + done, text.size() - done);
        // A write that takes nothing would never end: the record goes to standard error instead.
        if (written == 0 || (written < 0 && errno != EINTR)) return false;
        if (written > 0) done += static_cast<size_t>(written);
    }
    return true;
}

bool SlashMarksOptions() { return false; }

// posix_spawn takes them as separate arguments: no quoting is involved.
std::string ProgramCommandLine(const std::string& programPath, const std::string& argument) {
    return programPath + " " + argument;
}

// glibc reports a program it cannot execute. The child, never waited for, goes to
// init; it gets the null device, so a caller's pipe ends when we exit.
bool StartProgram(const std::string& programPath, const std::string& argument,
                  const std::string& workingDirectory, std::string& errorText) {
    // The posix_spawn functions return an error number instead of setting errno.
    posix_spawn_file_actions_t actions;
    int error = posix_spawn_file_actions_init(&actions);
    if (error != 0) {
        errorText = std::strerror(error);
        return false;
    }
    std::unique_ptr<posix_spawn_file_actions_t, int (*)(posix_spawn_file_actions_t*)> destroyActions(
        &actions, posix_spawn_file_actions_destroy);
    // The directory of a program at the root is the empty text.
    const char* directory = workingDirectory.empty() ? "/" : workingDirectory.c_str();
    error = posix_spawn_file_actions_addchdir_np(&actions, directory);
    const int nullFlags[] = {O_RDONLY, O_WRONLY, O_WRONLY};  // for descriptors 0, 1 and 2
    for (int descriptor = 0; descriptor < 3 && error == 0; ++descriptor) {
        error = posix_spawn_file_actions_addopen(&actions, descriptor, kNullDevice, nullFlags[descriptor], 0);
    }
    std::string program = programPath, firstArgument = argument;  // posix_spawn takes char*
    char* arguments[] = {program.data(), firstArgument.data(), nullptr};
    pid_t child = 0;
    if (error == 0) error = posix_spawn(&child, program.data(), &actions, nullptr, arguments, environ);
    if (error != 0) errorText = std::strerror(error);
    return error == 0;
}

std::FILE* OpenRegularFileForReading(const std::string& path) {
    int descriptor = OpenWithoutWaiting(path, O_RDONLY);
    struct stat status;
    std::FILE* file = nullptr;
    if (descriptor >= 0 && fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode)) {
        file = fdopen(descriptor, "r");
    }
    if (file == nullptr && descriptor >= 0) close(descriptor);
    return file;
}

// The offsets a day before and after are the candidates: the smaller where it reads
// back (the later of two readings), else the larger (the only one, or a gap's).
bool LocalCalendarTime(const std::tm& localTime, std::time_t& time) {
    constexpr std::time_t kDay = 24 * 60 * 60;
    const auto utcOffsetAt = [](std::time_t at, long& offset) {
        std::tm reading{};
        if (localtime_r(&at, &reading) == nullptr) return false;
        offset = reading.tm_gmtoff;
        return true;
    };
    tzset();  // localtime_r need not read the zone itself
    std::tm record = localTime;
    record.tm_wday = -1;  // timegm sets it on success: tells failure from the time -1
    const std::time_t asUtc = timegm(&record);
    long before = 0, after = 0, found = 0;
    if ((asUtc == -1 && record.tm_wday == -1) || !utcOffsetAt(asUtc - kDay, before) ||
        !utcOffsetAt(asUtc + kDay, after)) {
        return false;
    }
    const long smaller = std::min(before, after);
    const bool smallerReads = utcOffsetAt(asUtc - smaller, found) && found == smaller;
    time = asUtc - (smallerReads ? smaller : std::max(before, after));
    return true;
}

std::vector<std::string> ArgumentsAsReceived(int argc, char* argv[]) {
    return std::vector<std::string>(argv, argv + argc);
}
