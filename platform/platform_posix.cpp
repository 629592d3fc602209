// The platform interface on POSIX systems (Linux).
#include "platform.h"
#include "temporary_name.h"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <locale.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/stat.h>
#include <syslog.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr char kProcSelfExe[] = "/proc/self/exe";
constexpr char kX11Library[] = "libX11.so.6";
constexpr char kDisplayVariable[] = "DISPLAY";
constexpr char kNullDevice[] = "/dev/null";
// What Windows reports for a machine without a display; also our fallback.
constexpr VirtualScreen kNoDisplayScreen = {0, 0, 1024, 768};

}  // namespace

void KeepLargeBlocksInHeap() {
#ifdef M_MMAP_THRESHOLD
    // The largest threshold glibc accepts on 64-bit systems; a site file, and
    // TinyXML's copy of it, stay below it.
    constexpr int kLargestHeapBlock = 32 * 1024 * 1024;
    mallopt(M_MMAP_THRESHOLD, kLargestHeapBlock);
#endif
}

bool GetRunningProgramPath(const char* argumentZero, std::string& path, std::string&) {
    std::vector<char> buffer(256);
    for (;;) {
        ssize_t length = readlink(kProcSelfExe, buffer.data(), buffer.size());
        if (length < 0) break;
        if (static_cast<size_t>(length) < buffer.size()) {
            path.assign(buffer.data(), static_cast<size_t>(length));
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
    path = argumentZero != nullptr ? argumentZero : "";
    return true;
}

void ReportToSystemLog(const std::string& text) { syslog(LOG_USER | LOG_ERR, "%s", text.c_str()); }

// Natively nothing holds a started program back from the front.
void AllowNextProgramToTheFront() {}

char PathSeparator() { return '/'; }

// The locale's "%X" time format from the environment's LC_TIME, used through a
// locale object of its own so that the program's C locale stays as it is.
std::string LocalTimeOfDayText() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) return std::string();
    locale_t timeLocale = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
    if (timeLocale == static_cast<locale_t>(0)) {
        timeLocale = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
        if (timeLocale == static_cast<locale_t>(0)) return std::string();
    }
    char text[255];
    size_t length = strftime_l(text, sizeof text, "%X", &local, timeLocale);
    freelocale(timeLocale);
    return std::string(text, length);
}

// The X display's default screen at the origin when a display can be opened;
// libX11 is loaded at run time so that the program runs without it.
VirtualScreen GetVirtualScreen() {
    using OpenDisplay = void* (*)(const char*);
    using DisplayFunction = int (*)(void*);
    using ScreenFunction = int (*)(void*, int);

    // XOpenDisplay(nullptr) opens the display that DISPLAY names; with DISPLAY
    // unset or empty it cannot open any, so loading libX11 would only cost time.
    const char* displayName = std::getenv(kDisplayVariable);
    if (displayName == nullptr || displayName[0] == '\0') return kNoDisplayScreen;

    void* library = dlopen(kX11Library, RTLD_LAZY | RTLD_LOCAL);
    if (library == nullptr) return kNoDisplayScreen;
    auto openDisplay = reinterpret_cast<OpenDisplay>(dlsym(library, "XOpenDisplay"));
    auto closeDisplay = reinterpret_cast<DisplayFunction>(dlsym(library, "XCloseDisplay"));
    auto defaultScreen = reinterpret_cast<DisplayFunction>(dlsym(library, "XDefaultScreen"));
    auto displayWidth = reinterpret_cast<ScreenFunction>(dlsym(library, "XDisplayWidth"));
    auto displayHeight = reinterpret_cast<ScreenFunction>(dlsym(library, "XDisplayHeight"));

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

// The file is created without a name where the system can (Linux O_TMPFILE)
// and named just before the rename, through the descriptor kept here (the
// stream's goes when the caller closes it); elsewhere it is created at path.
// unlink removes the name the file was given, never what a link there leads to.
struct ReplacingFile {
    std::string documentPath;
    std::string path;     // empty while the file has no name
    int descriptor = -1;  // an unnamed file's own
    bool moved = false;
};

void ReplacingFileCloser::operator()(ReplacingFile* file) const {
    if (!file->moved && !file->path.empty()) unlink(file->path.c_str());
    if (file->descriptor >= 0) close(file->descriptor);
    delete file;
}

namespace {

bool IsTemporaryName(const std::string& name) {
    constexpr std::string::size_type kEndAt = 1 + kTemporaryNameRandomDigits;
    return name.size() == kTemporaryNameLength && name.front() == kTemporaryNameStart &&
           name.find_first_not_of(kTemporaryNameDigits, 1) == kEndAt &&
           name.compare(kEndAt, std::string::npos, kTemporaryNameEnd) == 0;
}

// A run killed between creating its named file and the rename leaves the file;
// a later run removes it once it is ten minutes old, by which time no run can
// still be writing it. Only plain files of the temporary names' form go.
void RemoveOldTemporaryFiles(const std::string& documentPath) {
    constexpr std::time_t kOldAge = 10 * 60;
    const std::string directory = DirectoryOf(documentPath);
    DIR* listing = opendir(directory.empty() ? "." : directory.c_str());
    if (listing == nullptr) return;
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = readdir(listing)) {
        struct stat status;
        if (IsTemporaryName(entry->d_name) &&
            fstatat(dirfd(listing), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(status.st_mode) && now - status.st_mtime > kOldAge) {
            unlinkat(dirfd(listing), entry->d_name, 0);
        }
    }
    closedir(listing);
}

// Opens a new file for the document: unnamed where the system and the file
// system can make one, otherwise at a free temporary name. The name is never
// reached through a link: O_EXCL fails on anything found there.
int CreateTemporaryFile(ReplacingFile& file) {
#ifdef O_TMPFILE
    const std::string directory = DirectoryOf(file.documentPath);
    int descriptor =
        open(directory.empty() ? "." : directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (descriptor >= 0) {
        file.descriptor = fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
        if (file.descriptor >= 0) return descriptor;
        close(descriptor);
        return -1;
    }
#endif
    RemoveOldTemporaryFiles(file.documentPath);
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        const std::string path = NewTemporaryPath(file.documentPath);
        const int named = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (named >= 0) file.path = path;
        if (named >= 0 || errno != EEXIST) return named;
    }
    return -1;
}

// Only the permission bits are given: set-id bits mean nothing on a document and
// the set-group-id bit can turn on mandatory locking. fchown comes first, as it
// may clear bits that fchmod then sets. lstat tells a link at the document's
// name from a file; a directory there has no access to carry and needs no word:
// the rename over it fails.
bool CarryAccess(int descriptor, const std::string& documentPath, bool& accessCarried) {
    struct stat model;
    if (lstat(documentPath.c_str(), &model) != 0) return errno == ENOENT;
    if (!S_ISREG(model.st_mode)) {
        accessCarried = S_ISDIR(model.st_mode);
        return true;
    }
    const bool ownerGiven = fchown(descriptor, model.st_uid, model.st_gid) == 0 ||
                            fchown(descriptor, static_cast<uid_t>(-1), model.st_gid) == 0;
    static_cast<void>(ownerGiven);
    return fchmod(descriptor, model.st_mode & 0777) == 0;
}

}  // namespace

ReplacingFilePointer CreateReplacingFile(const std::string& documentPath, std::FILE*& stream,
                                         bool& accessCarried, std::string& errorText) {
    ReplacingFilePointer file(new ReplacingFile);
    file->documentPath = documentPath;
    accessCarried = true;
    const int descriptor = CreateTemporaryFile(*file);
    if (descriptor < 0 || !CarryAccess(descriptor, documentPath, accessCarried) ||
        (stream = fdopen(descriptor, "w")) == nullptr) {
        errorText = LastErrorText();
        if (descriptor >= 0) close(descriptor);
        return nullptr;
    }
    return file;
}

// An unnamed file is given a free temporary name through /proc (linkat with
// AT_EMPTY_PATH would need a privilege); linkat fails on anything found at
// the name, links included.
bool KeepReplacingFile(ReplacingFile& file, std::string& errorText) {
    const std::string self = "/proc/self/fd/" + std::to_string(file.descriptor);
    for (int attempt = 0; file.path.empty() && attempt < kTemporaryNameTries; ++attempt) {
        const std::string path = NewTemporaryPath(file.documentPath);
        if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            file.path = path;
        } else if (errno != EEXIST) {
            break;
        }
    }
    file.moved = !file.path.empty() && std::rename(file.path.c_str(), file.documentPath.c_str()) == 0;
    if (!file.moved) errorText = LastErrorText();
    return file.moved;
}

struct AppendFile {
    int descriptor;
};

void AppendFileCloser::operator()(AppendFile* file) const {
    close(file->descriptor);
    delete file;
}

// O_APPEND moves to the end and writes in one step, so records of runs that
// overlap stay whole. O_NONBLOCK keeps a named pipe from stalling the open.
AppendFilePointer OpenAppendFile(const std::string& path) {
    int descriptor = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    if (descriptor < 0) return nullptr;
    AppendFilePointer file(new AppendFile{descriptor});
    int flags = fcntl(descriptor, F_GETFL);
    if (flags >= 0) fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK);
    return file;
}

bool AppendToFile(AppendFile& file, const std::string& text) {
    const char* data = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t written = write(file.descriptor, data, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
    return true;
}

bool SlashMarksOptions() { return false; }

// The program path and its argument joined by one space; posix_spawn takes them
// as separate arguments, so no quoting is involved.
std::string ProgramCommandLine(const std::string& programPath, const std::string& argument) {
    return programPath + " " + argument;
}

// glibc's posix_spawn reports a program that cannot be executed as a failure,
// so a missing client is seen here. The child is never waited for: when this
// short-lived process exits, the client is handed to init. Its standard input,
// output and error are the null device, as a Windows client inherits no
// handles: a caller that reads this program's output through a pipe would
// otherwise see its end only when the client exits.
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

    std::vector<char> program(programPath.begin(), programPath.end());
    program.push_back('\0');
    std::vector<char> firstArgument(argument.begin(), argument.end());
    firstArgument.push_back('\0');
    char* arguments[] = {program.data(), firstArgument.data(), nullptr};

    pid_t child = 0;
    if (error == 0) error = posix_spawn(&child, program.data(), &actions, nullptr, arguments, environ);
    if (error != 0) errorText = std::strerror(error);
    return error == 0;
}

// O_NONBLOCK keeps the open of a named pipe without a writer from waiting; the
// descriptor is checked before any read, so nothing else is affected by it.
std::FILE* OpenRegularFileForReading(const std::string& path) {
    int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) return nullptr;
    struct stat status;
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(descriptor);
        return nullptr;
    }
    int flags = fcntl(descriptor, F_GETFL);
    if (flags >= 0) fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK);
    std::FILE* file = fdopen(descriptor, "r");
    if (file == nullptr) close(descriptor);
    return file;
}

bool GetOpenFileSize(std::FILE* file, std::uint64_t& size) {
    struct stat status;
    if (fstat(fileno(file), &status) != 0) return false;
    size = static_cast<std::uint64_t>(status.st_size);
    return true;
}

namespace {

bool UtcOffsetAt(std::time_t time, long& offset) {
    std::tm reading{};
    if (localtime_r(&time, &reading) == nullptr) return false;
    offset = reading.tm_gmtoff;
    return true;
}

}  // namespace

// Not mktime, which chooses by tm_isdst: zone data may mark winter as the
// daylight time (Dublin), and an offset may change without daylight saving
// (Moscow 2011). The candidates are the offsets in force a day before and a day
// after. The smaller is taken when converting back keeps it (the later of two
// readings); otherwise the larger, the only reading or, in a gap, the rule's.
bool LocalCalendarTime(const std::tm& localTime, std::time_t& time) {
    constexpr std::time_t kDay = 24 * 60 * 60;
    tzset();  // localtime_r need not read the zone itself
    std::tm record = localTime;
    record.tm_wday = -1;  // timegm sets it on success: tells failure from the time -1
    const std::time_t asUtc = timegm(&record);
    long before = 0, after = 0, found = 0;
    if ((asUtc == -1 && record.tm_wday == -1) || !UtcOffsetAt(asUtc - kDay, before) ||
        !UtcOffsetAt(asUtc + kDay, after)) {
        return false;
    }
    const long smaller = std::min(before, after);
    const bool smallerReads = UtcOffsetAt(asUtc - smaller, found) && found == smaller;
    time = asUtc - (smallerReads ? smaller : std::max(before, after));
    return true;
}

std::vector<std::string> ArgumentsAsReceived(int argc, char* argv[]) {
    return std::vector<std::string>(argv, argv + argc);
}
