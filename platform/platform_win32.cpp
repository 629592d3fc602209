// The platform interface on Windows, through the Win32 functions themselves.
#include "platform.h"
#include "temporary_name.h"

#include <windows.h>

#include <aclapi.h>
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// MAX_PATH: the first try; the buffer grows while the path fills it.
constexpr DWORD kFirstPathBufferSize = 260;
constexpr int kTimeTextSize = 255;
// A lock is tried this often, this far apart: about two seconds.
constexpr int kLockTries = 200;
constexpr DWORD kLockPauseMilliseconds = 10;

std::string SystemErrorText(DWORD code) {
    char* message = nullptr;
    DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<char*>(&message), 0, nullptr);
    std::string text;
    if (length > 0 && message != nullptr) {
        text.assign(message, length);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
            text.pop_back();
        }
    }
    if (message != nullptr) LocalFree(message);
    if (text.empty()) text = "error " + std::to_string(code);
    return text;
}

// The attributes that a replaced document hands on to the file that replaces it.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using OwnedHandle = std::unique_ptr<void, HandleCloser>;

OwnedHandle OwnHandle(HANDLE handle) {
    return OwnedHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A C stream on handle, which then owns it; null, with the handle closed, on
// failure.
std::FILE* StreamOn(HANDLE handle, int flags, const char* mode) {
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
    if (descriptor < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* stream = _fdopen(descriptor, mode);
    if (stream == nullptr) _close(descriptor);
    return stream;
}

// Sets the kept ones of attributes on the open file, and clears the others of
// them; its times stay as they are (zero in FILE_BASIC_INFO changes nothing).
bool SetKeptAttributes(HANDLE file, DWORD attributes) {
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = attributes & kKeptAttributes;
    if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic) != 0;
}

// Sets or clears the read-only attribute of the file at path itself (a link
// there, not what it leads to); true when it changed.
bool SetReadOnly(const std::string& path, bool readOnly) {
    OwnedHandle document =
        OwnHandle(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kShareAll, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    if (!document || !GetFileInformationByHandle(document.get(), &information) ||
        ((information.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) == readOnly) {
        return false;
    }
    return SetKeptAttributes(document.get(), information.dwFileAttributes ^ FILE_ATTRIBUTE_READONLY);
}

}  // namespace

void KeepLargeBlocksInHeap() {}

bool GetRunningProgramPath(std::string& path) {
    std::vector<char> buffer(kFirstPathBufferSize);
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        DWORD length = GetModuleFileNameA(nullptr, buffer.data(), size);
        if (length == 0) return false;
        // A full buffer means the path may have been cut; try again with more room.
        if (length < size) {
            path.assign(buffer.data(), length);
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

char PathSeparator() { return '\\'; }

std::string LocalTimeOfDayText() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[kTimeTextSize];
    int length = GetTimeFormatA(LOCALE_SYSTEM_DEFAULT, 0, &now, nullptr, text, kTimeTextSize);
    if (length <= 0) return std::string();
    return std::string(text);
}

// The four virtual-screen metrics, read in this order on every call.
VirtualScreen GetVirtualScreen() {
    VirtualScreen screen;
    screen.top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    screen.height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    screen.left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    screen.width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    return screen;
}

std::string LastErrorText() { return std::strerror(errno); }

// Created, marked for deletion and moved through its first handle, opened with
// DELETE access. Through the ANSI calls, as the moves go through MoveFileExA:
// the C runtime's fopen reaches paths longer than MAX_PATH under Wine, where
// the ANSI calls cannot, and a file made there could never be moved again.
struct TemporaryFile {
    std::string path;
    OwnedHandle handle;
    bool marked = false;  // for deletion by the system
    bool moved = false;
};

namespace {

// Marks the file for deletion when its last handle closes, even by a killed
// process, or takes the mark back.
bool MarkForDeletion(HANDLE file, bool deleted) {
    FILE_DISPOSITION_INFO disposition{static_cast<BOOLEAN>(deleted)};
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// Windows refuses to replace a file that another program holds open without
// sharing its deletion; an open for DELETE tells that from other refusals.
bool HeldOpenByAnother(const std::string& path, DWORD moveError) {
    if (moveError != ERROR_ACCESS_DENIED && moveError != ERROR_SHARING_VIOLATION) return false;
    const OwnedHandle probe = OwnHandle(CreateFileA(path.c_str(), DELETE, kShareAll, nullptr, OPEN_EXISTING,
                                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return !probe && GetLastError() == ERROR_SHARING_VIOLATION;
}

// Seconds since 1970 from 100-nanosecond intervals since 1601.
std::time_t CalendarTime(const FILETIME& time) {
    constexpr std::uint64_t kIntervalsTo1970 = 116444736000000000ULL;
    const std::uint64_t intervals = (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
    return static_cast<std::time_t>((static_cast<std::int64_t>(intervals - kIntervalsTo1970)) / 10000000);
}

}  // namespace

// Where the mark could not be set (some network file systems), the file is
// removed by its name; only a file this run created is.
void DiscardTemporaryFile(TemporaryFile* file) {
    const bool byName = file->handle && !file->moved && !file->marked;
    file->handle.reset();
    if (byName) DeleteFileA(file->path.c_str());
    delete file;
}

// Anything at the name, be it a file, a link or a directory, makes CreateFileA
// fail, and another name is tried. A share with "Change" permission refuses
// WRITE_DAC: the file is then made without it, and its access is not carried.
// The C runtime writes through a duplicate handle; the sharing of deletion lets
// the file be moved while it is held.
TemporaryFilePointer CreateTemporaryFile(const std::string& besidePath, std::FILE*& stream,
                                         std::string& errorText) {
    TemporaryFilePointer file(new TemporaryFile, DiscardTemporaryFile);
    DWORD access = GENERIC_WRITE | WRITE_DAC | DELETE;
    DWORD error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < kTemporaryNameTries && !file->handle; ++attempt) {
        file->path = NewTemporaryPath(besidePath);
        file->handle = OwnHandle(CreateFileA(file->path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                             nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        error = file->handle ? ERROR_SUCCESS : GetLastError();
        if (error == ERROR_ACCESS_DENIED && (access & WRITE_DAC) != 0) {
            access &= ~WRITE_DAC;
        } else if (error != ERROR_FILE_EXISTS) {
            break;
        }
    }
    HANDLE duplicate = nullptr;
    if (file->handle) file->marked = MarkForDeletion(file->handle.get(), true);
    if (!file->handle || !DuplicateHandle(GetCurrentProcess(), file->handle.get(), GetCurrentProcess(),
                                          &duplicate, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        errorText = SystemErrorText(file->handle ? GetLastError() : error);
        file.reset();
    } else if ((stream = StreamOn(duplicate, _O_WRONLY | _O_TEXT, "w")) == nullptr) {
        errorText = SystemErrorText(GetLastError());
        file.reset();
    }
    return file;
}

// The model is opened as itself: with FILE_FLAG_OPEN_REPARSE_POINT a link is the
// link, told by its attribute. Its access control list keeps its protection from
// inheritance, or the lack of it. A directory there has no access to carry and
// needs no word: the move over it fails. The new file is never read-only:
// nothing is gained by making the next run's replace harder.
bool CarryAccess(TemporaryFile& file, const std::string& modelPath, bool& accessCarried,
                 std::string& errorText) {
    accessCarried = true;
    OwnedHandle model = OwnHandle(
        CreateFileA(modelPath.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    if (!model || !GetFileInformationByHandle(model.get(), &information)) {
        accessCarried = GetLastError() == ERROR_FILE_NOT_FOUND;
        return true;
    }
    constexpr DWORD kNoAccessToCarry = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return true;
    if ((information.dwFileAttributes & kNoAccessToCarry) != 0 ||
        GetFileType(model.get()) != FILE_TYPE_DISK) {
        accessCarried = false;
        return true;
    }
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    accessCarried = GetSecurityInfo(model.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                    &dacl, nullptr, &descriptor) == ERROR_SUCCESS;
    if (accessCarried) {
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        const bool isProtected = GetSecurityDescriptorControl(descriptor, &control, &revision) &&
                                 (control & SE_DACL_PROTECTED) != 0;
        const SECURITY_INFORMATION which =
            DACL_SECURITY_INFORMATION |
            (isProtected ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION);
        accessCarried = SetSecurityInfo(file.handle.get(), SE_FILE_OBJECT, which, nullptr, nullptr, dacl,
                                        nullptr) == ERROR_SUCCESS;
        LocalFree(descriptor);
    }
    if (SetKeptAttributes(file.handle.get(), information.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY))
        return true;
    errorText = SystemErrorText(GetLastError());
    return false;
}

// One MoveFileExA, so that a reader finds the old document or the new one. The
// delete mark is taken back just before and set again when the move fails;
// Windows refuses to replace a read-only file, so the target is made writable
// for the move, and read-only again if it fails.
MoveResult KeepTemporaryFile(TemporaryFile& file, const std::string& path, std::string& errorText) {
    const bool madeWritable = SetReadOnly(path, false);
    if (file.marked && MarkForDeletion(file.handle.get(), false)) file.marked = false;
    if (!file.marked && MoveFileExA(file.path.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        file.moved = true;
        file.handle.reset();
        return MoveResult::kMoved;
    }
    const DWORD error = GetLastError();
    file.marked = MarkForDeletion(file.handle.get(), true);
    if (madeWritable) SetReadOnly(path, true);
    errorText = SystemErrorText(error);
    return HeldOpenByAnother(path, error) ? MoveResult::kInUse : MoveResult::kRefused;
}

// Temporary files are the system's to remove, marked for deletion as they are made.
void RemoveStrayTemporaryFiles(const std::string&, std::time_t) {}

// Of the name itself: GetFileAttributesEx does not follow a link.
bool GetLastWriteTime(const std::string& path, std::time_t& time) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
    time = CalendarTime(data.ftLastWriteTime);
    return true;
}

bool TouchFile(const std::string& path) {
    const OwnedHandle file = OwnHandle(CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, kShareAll, nullptr,
                                                   OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return file && SetFileTime(file.get(), nullptr, nullptr, &now);
}

std::size_t LongestPath() { return MAX_PATH - 1; }

// Closing the handle lets go of the lock.
struct FileLock {
    OwnedHandle handle;
};

void ReleaseFileLock(FileLock* lock) { delete lock; }

FileLockPointer LockFile(const std::string& path) {
    FileLockPointer lock(nullptr, ReleaseFileLock);
    OwnedHandle file = OwnHandle(CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_ALWAYS,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
    OVERLAPPED first{};
    for (int attempt = 0; file && attempt < kLockTries; ++attempt) {
        if (attempt > 0) Sleep(kLockPauseMilliseconds);
        if (LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &first)) {
            lock.reset(new FileLock{std::move(file)});
            break;
        }
        if (GetLastError() != ERROR_LOCK_VIOLATION) break;
    }
    return lock;
}

struct AppendFile {
    OwnedHandle handle;
};

void AppendFileCloser::operator()(AppendFile* file) const { delete file; }

// FILE_APPEND_DATA without FILE_WRITE_DATA: every write lands at the end of the
// file as it is then, so records of runs that overlap never overwrite each other.
// FILE_READ_DATA only lets AppendToFile take its lock.
AppendFilePointer OpenAppendFile(const std::string& path) {
    HANDLE handle =
        CreateFileA(path.c_str(), FILE_APPEND_DATA | FILE_READ_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return AppendFilePointer(new AppendFile{OwnHandle(handle)});
}

// Wine finds the end and writes there in two steps, so appends from processes
// at once can land on the same place and one record is lost (seen with ten
// processes). An exclusive lock on one byte far past any end makes the runs
// take turns; it covers no data, so readers and other writers are never held.
// Another program may hold the whole file locked (a backup tool): the lock is
// tried for up to two seconds, never waited for, and then the record is
// written without it, as on a file system that has no locks (a lock that
// refuses the write sends the record to standard error). The text-mode line
// end is written here, so that the whole record goes out in one WriteFile (the
// C runtime's text mode would split it into pieces).
bool AppendToFile(AppendFile& file, const std::string& text) {
    const HANDLE handle = file.handle.get();
    std::string translated;
    translated.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') translated += '\r';
        translated += c;
    }
    OVERLAPPED place{};
    place.Offset = 0xFFFFFFFE;
    place.OffsetHigh = 0x7FFFFFFF;
    bool held = false;
    for (int attempt = 0; attempt < kLockTries && !held; ++attempt) {
        if (attempt > 0) Sleep(kLockPauseMilliseconds);
        held =
            LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &place) != FALSE;
        if (!held && GetLastError() != ERROR_LOCK_VIOLATION) break;
    }
    const char* data = translated.data();
    size_t left = translated.size();
    DWORD written = 1;
    while (left > 0 && written > 0) {
        const DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
        if (!WriteFile(handle, data, chunk, &written, nullptr)) written = 0;
        data += written;
        left -= written;
    }
    if (held) UnlockFileEx(handle, 0, 1, 0, &place);
    return left == 0;
}

bool SlashMarksOptions() { return true; }

// The program path is quoted: unquoted, a directory such as C:\Program Files\Cams
// would make Windows start C:\Program.exe.
std::string ProgramCommandLine(const std::string& programPath, const std::string& argument) {
    return "\"" + programPath + "\" " + argument;
}

bool StartProgram(const std::string& programPath, const std::string& argument,
                  const std::string& workingDirectory, std::string& errorText) {
    // CreateProcessA may write into the command line, so it gets a copy it owns.
    std::string commandLine = ProgramCommandLine(programPath, argument);
    std::vector<char> writable(commandLine.begin(), commandLine.end());
    writable.push_back('\0');

    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof(STARTUPINFOA);
    // Without this flag a console client is handed this program's standard
    // handles even though no handle is inherited, and a caller that reads our
    // output through a pipe would wait until the client exits. The handles stay
    // null: the client gets none.
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION process;
    std::memset(&process, 0, sizeof process);

    if (!CreateProcessA(nullptr, writable.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                        workingDirectory.c_str(), &startup, &process)) {
        errorText = SystemErrorText(GetLastError());
        return false;
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return true;
}

// A directory cannot be opened without FILE_FLAG_BACKUP_SEMANTICS, and a pipe or
// a device (NUL, CON, COM1) reports a type other than FILE_TYPE_DISK. The C
// runtime then reads the handle in text mode, as fopen(path, "r") would.
std::FILE* OpenRegularFileForReading(const std::string& path) {
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return nullptr;
    }
    return StreamOn(handle, _O_RDONLY | _O_TEXT, "r");
}

// GetFileSizeEx, not the C runtime's ftell: its long is 32 bits on Windows.
bool GetOpenFileSize(std::FILE* file, std::uint64_t& size) {
    intptr_t osHandle = _get_osfhandle(_fileno(file));
    LARGE_INTEGER length;
    if (osHandle == -1 || !GetFileSizeEx(reinterpret_cast<HANDLE>(osHandle), &length)) return false;
    size = static_cast<std::uint64_t>(length.QuadPart);
    return true;
}

// Windows' C runtime reads times around a daylight change this way itself
// (tm_isdst -1), the reading sites already rely on. mktime ignores tm_wday and
// sets it on success, so a -1 left there tells its failure from the time -1.
// It refuses every local time of 1969, also the hours that are 1970 in UTC west
// of Greenwich: such a time is read in 1970, a year of as many days, and taken
// a year back.
bool LocalCalendarTime(const std::tm& localTime, std::time_t& time) {
    constexpr std::time_t kYear = 365 * 24 * 60 * 60;
    std::tm record = localTime;
    const bool in1969 = record.tm_year == 69;
    record.tm_year += in1969 ? 1 : 0;
    record.tm_isdst = -1;
    record.tm_wday = -1;
    time = std::mktime(&record);
    if (time == static_cast<std::time_t>(-1) && record.tm_wday == -1) return false;
    time -= in1969 ? kYear : 0;
    return true;
}

std::vector<std::string> ArgumentsAsReceived(int, char*[]) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments(wide != nullptr ? count : 0);
    for (size_t i = 0; i < arguments.size(); ++i) {
        // A lone surrogate becomes U+FFFD, which is no ASCII either.
        const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        arguments[i].resize(size > 0 ? size : 0);
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arguments[i].data(), size, nullptr, nullptr);
        arguments[i].resize(size > 0 ? size - 1 : 0);  // without the terminating null
    }
    LocalFree(wide);
    return arguments;
}
