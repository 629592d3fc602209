// The platform interface on POSIX systems (Linux).
#include "platform.h"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <csignal>
#include <ctime>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <limits>
#include <locale.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/stat.h>
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

bool GetRunningProgramPath(std::string& path) {
    std::vector<char> buffer(256);
    for (;;) {
        ssize_t length = readlink(kProcSelfExe, buffer.data(), buffer.size());
        if (length < 0) return false;
        if (static_cast<size_t>(length) < buffer.size()) {
            path.assign(buffer.data(), static_cast<size_t>(length));
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

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

unsigned long CurrentProcessId() { return static_cast<unsigned long>(getpid()); }

std::string LastErrorText() { return std::strerror(errno); }

// Natively the file goes by the name it was created at: there is no removing
// through a descriptor. unlink removes that name, never what a link there
// leads to.
struct NewFile {
    explicit NewFile(const std::string& createdPath) : path(createdPath) {}

    const std::string path;
    bool moved = false;
};

void NewFileCloser::operator()(NewFile* file) const {
    if (!file->moved) unlink(file->path.c_str());
    delete file;
}

NewFilePointer CreateNewTextFile(const std::string& path, std::FILE*& stream, bool& nameTaken,
                                 std::string& errorText) {
    int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    nameTaken = descriptor < 0 && errno == EEXIST;
    if (descriptor < 0) {
        errorText = LastErrorText();
        return nullptr;
    }
    NewFilePointer file(new NewFile(path));
    stream = fdopen(descriptor, "w");
    if (stream == nullptr) {
        errorText = LastErrorText();
        close(descriptor);
        return nullptr;
    }
    return file;
}

bool MoveNewFileOver(NewFile& file, const std::string& toPath, std::string& errorText) {
    file.moved = std::rename(file.path.c_str(), toPath.c_str()) == 0;
    if (!file.moved) errorText = LastErrorText();
    return file.moved;
}

// Only the permission bits are given: set-id bits mean nothing on a document and
// the set-group-id bit can turn on mandatory locking. fchown comes first, as it
// may clear bits that fchmod then sets. A directory at modelPath has no access
// to carry: the rename over it fails.
bool GiveFileThePermissionsOf(std::FILE* file, const std::string& modelPath, bool& accessCarried,
                              std::string& errorText) {
    accessCarried = true;
    struct stat model;
    if (lstat(modelPath.c_str(), &model) != 0) {
        if (errno == ENOENT) return true;
        errorText = LastErrorText();
        return false;
    }
    if (!S_ISREG(model.st_mode)) {
        accessCarried = S_ISDIR(model.st_mode);
        return true;
    }
    const int descriptor = fileno(file);
    const bool ownerGiven = fchown(descriptor, model.st_uid, model.st_gid) == 0 ||
                            fchown(descriptor, static_cast<uid_t>(-1), model.st_gid) == 0;
    static_cast<void>(ownerGiven);
    if (fchmod(descriptor, model.st_mode & 0777) == 0) return true;
    errorText = LastErrorText();
    return false;
}

bool ListRegularFiles(const std::string& directory, std::vector<std::string>& names) {
    DIR* listing = opendir(directory.empty() ? "." : directory.c_str());
    if (listing == nullptr) return false;
    while (const dirent* entry = readdir(listing)) {
        bool regular = entry->d_type == DT_REG;
        struct stat status;
        if (entry->d_type == DT_UNKNOWN) {
            regular = fstatat(dirfd(listing), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                      S_ISREG(status.st_mode);
        }
        if (regular) names.push_back(entry->d_name);
    }
    closedir(listing);
    return true;
}

// kill with signal 0 only asks whether the process exists. Identifier 0 and
// those past pid_t would name process groups instead, so they are never ended.
bool ProcessHasEnded(unsigned long processId) {
    if (processId == 0 || processId > static_cast<unsigned long>(std::numeric_limits<pid_t>::max())) {
        return false;
    }
    return kill(static_cast<pid_t>(processId), 0) != 0 && errno == ESRCH;
}

// unlink removes the name itself: a link at it goes, never what it leads to.
bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

struct AppendFile {
    explicit AppendFile(int openDescriptor) : descriptor(openDescriptor) {}
    ~AppendFile() { close(descriptor); }
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    const int descriptor;
};

void AppendFileCloser::operator()(AppendFile* file) const { delete file; }

// O_APPEND moves to the end and writes in one step, so records of runs that
// overlap stay whole. O_NONBLOCK keeps a named pipe from stalling the open.
AppendFilePointer OpenAppendFile(const std::string& path) {
    int descriptor = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    if (descriptor < 0) return nullptr;
    AppendFilePointer file(new AppendFile(descriptor));
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
    error = posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
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
