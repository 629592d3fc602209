// The platform interface on Windows, through the Win32 functions themselves.
#include "platform.h"
#include "code_page_path.h"
#include "temporary_name.h"

#include <windows.h>

#include <aclapi.h>
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace {

constexpr wchar_t kEventSource[] = L"Kestrup";
constexpr DWORD kEventId = 1;

// The system's message without its line end; "error N" where it has none.
std::string SystemErrorText(DWORD code) {
    char text[1024];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                  0, text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == ' '))
        --length;
    return length > 0 ? std::string(text, length) : "error " + std::to_string(code);
}

// The attributes that a replaced document hands on to the file that replaces it.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using OwnedHandle = std::unique_ptr<void, HandleCloser>;

OwnedHandle OwnHandle(HANDLE handle) {
    return OwnedHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A C stream on handle, which then owns it; null, with the handle closed, on failure.
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

// The system deletes a marked file when its last handle closes, a killed run's too.
bool MarkForDeletion(HANDLE file, bool deleted) {
    FILE_DISPOSITION_INFO disposition{static_cast<BOOLEAN>(deleted)};
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// Windows will not replace a file held open without delete sharing; an open for DELETE tells that apart.
bool HeldOpenByAnother(const std::string& path, DWORD moveError) {
    if (moveError != ERROR_ACCESS_DENIED && moveError != ERROR_SHARING_VIOLATION) return false;
    const OwnedHandle probe = OwnHandle(CreateFileA(path.c_str(), DELETE, kShareAll, nullptr, OPEN_EXISTING,
                                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return !probe && GetLastError() == ERROR_SHARING_VIOLATION;
}

// Tried without waiting, 200 times 10 ms apart: about two seconds.
bool LockWithinBound(HANDLE file, OVERLAPPED& place) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (attempt > 0) Sleep(10);
        if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &place))
            return true;
        if (GetLastError() != ERROR_LOCK_VIOLATION) return false;
    }
    return false;
}

// A lone surrogate becomes U+FFFD, which is no ASCII either.
std::string Utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    if (!utf8.empty()) utf8.pop_back();  // the terminating null
    return utf8;
}

std::vector<std::wstring> WideArguments() {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> arguments(wide, wide != nullptr ? wide + count : wide);
    LocalFree(wide);
    return arguments;
}

}  // namespace

void KeepLargeBlocksInHeap() {}

// Argument 0 stands in from the wide command line: argv's ANSI text is the same lookalike.
bool GetRunningProgramPath(const char*, std::string& path, std::string& unspelt) {
    std::wstring wide(MAX_PATH, L'\0');
    DWORD written = 0;
    // A full buffer means the path may have been cut; try again with more room.
    while ((written = GetModuleFileNameW(nullptr, wide.data(), static_cast<DWORD>(wide.size()))) ==
           wide.size()) {
        wide.resize(wide.size() * 2);
    }
    wide.resize(written);
    if (written == 0) {
        const std::vector<std::wstring> arguments = WideArguments();
        if (!arguments.empty()) wide = arguments[0];
    }
    path.clear();
    if (wide.empty() || PathInCodePage(wide, L"", CP_ACP, path)) return true;
    // A short name may be longer than its long one ("Cā" as "C_~1"): its size is asked first.
    const DWORD size = GetShortPathNameW(wide.c_str(), nullptr, 0);
    std::wstring shortPath(size, L'\0');
    const DWORD length = size > 0 ? GetShortPathNameW(wide.c_str(), shortPath.data(), size) : 0;
    shortPath.resize(length < size ? length : 0);
    if (PathInCodePage(wide, shortPath, CP_ACP, path)) return true;
    unspelt = Utf8(wide.c_str());
    return false;
}

// One entry, the text as the ANSI code page reads it, whatever lines it holds.
void ReportToSystemLog(const std::string& text) {
    HANDLE source = RegisterEventSourceW(nullptr, kEventSource);
    if (source == nullptr) return;
    const int size = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(size > 0 ? static_cast<size_t>(size) : 1, L'\0');
    if (size > 0) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), size);
    const wchar_t* strings[] = {wide.c_str()};
    ReportEventW(source, EVENTLOG_ERROR_TYPE, 0, kEventId, nullptr, 1, 0, strings, nullptr);
    DeregisterEventSource(source);
}

// Only a process that holds the right to the front passes it on: the link program, started on a click, does.
void AllowNextProgramToTheFront() { AllowSetForegroundWindow(ASFW_ANY); }

char PathSeparator() { return '\\'; }

std::string LocalTimeOfDayText() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[255];
    const int length = GetTimeFormatA(LOCALE_SYSTEM_DEFAULT, 0, &now, nullptr, text, sizeof text);
    return length > 0 ? std::string(text) : std::string();
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

// Made, marked and moved through the ANSI calls alike, so that one path limit holds for all three.
struct TemporaryFile {
    std::string path;
    OwnedHandle handle;
    bool marked = false;  // for deletion by the system
};

// Unmarked (some network file systems refuse the mark), a file this run made goes by name.
void DiscardTemporaryFile(TemporaryFile* file) {
    const bool byName = file->handle && !file->marked;
    file->handle.reset();
    if (byName) DeleteFileA(file->path.c_str());
    delete file;
}

// CREATE_NEW fails on anything at the name, links included. A share with "Change"
// permission refuses WRITE_DAC: the file is then made without it.
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
    if (!file->handle ||
        !DuplicateHandle(GetCurrentProcess(), file->handle.get(), GetCurrentProcess(), &duplicate, 0, FALSE,
                         DUPLICATE_SAME_ACCESS) ||
        (stream = StreamOn(duplicate, _O_WRONLY | _O_TEXT, "w")) == nullptr) {
        errorText = SystemErrorText(file->handle ? GetLastError() : error);
        file.reset();
    }
    return file;
}

// The model opened as itself, a link as the link. A directory needs no word: the
// move over it fails. Never read-only: that would only hinder the next replace.
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
    const bool directory = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (directory || (information.dwFileAttributes & kNoAccessToCarry) != 0 ||
        GetFileType(model.get()) != FILE_TYPE_DISK) {
        accessCarried = directory;
        return true;
    }
    // The list keeps its protection from inheritance, or the lack of it.
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    accessCarried = GetSecurityInfo(model.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                    &dacl, nullptr, &descriptor) == ERROR_SUCCESS &&
                    GetSecurityDescriptorControl(descriptor, &control, &revision) &&
                    SetSecurityInfo(file.handle.get(), SE_FILE_OBJECT,
                                    DACL_SECURITY_INFORMATION | ((control & SE_DACL_PROTECTED) != 0
                                                                     ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                     : UNPROTECTED_DACL_SECURITY_INFORMATION),
                                    nullptr, nullptr, dacl, nullptr) == ERROR_SUCCESS;
    LocalFree(descriptor);
    // The kept attributes, the others cleared; zero times in FILE_BASIC_INFO stay.
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = information.dwFileAttributes & kKeptAttributes;
    if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (SetFileInformationByHandle(file.handle.get(), FileBasicInfo, &basic, sizeof basic)) return true;
    errorText = SystemErrorText(GetLastError());
    return false;
}

// One MoveFileExA: a reader finds the old document or the new one. Windows refuses
// to replace a read-only file: it is writable for the move, read-only if it fails.
MoveResult KeepTemporaryFile(TemporaryFile& file, const std::string& path, std::string& errorText) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    constexpr DWORD kReadOnlyFile = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_REPARSE_POINT;
    const bool madeWritable = attributes != INVALID_FILE_ATTRIBUTES &&
                              (attributes & kReadOnlyFile) == FILE_ATTRIBUTE_READONLY &&
                              SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (file.marked && MarkForDeletion(file.handle.get(), false)) file.marked = false;
    if (!file.marked && MoveFileExA(file.path.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        file.handle.reset();
        return MoveResult::kMoved;
    }
    const DWORD error = GetLastError();
    file.marked = MarkForDeletion(file.handle.get(), true);
    if (madeWritable) SetFileAttributesA(path.c_str(), attributes);
    errorText = SystemErrorText(error);
    return HeldOpenByAnother(path, error) ? MoveResult::kInUse : MoveResult::kRefused;
}

// Temporary files are the system's to remove, marked for deletion as they are made.
void RemoveStrayTemporaryFiles(const std::string&, std::time_t) {}

// Of the name itself: GetFileAttributesEx follows no link. FILETIME counts 100 ns intervals since 1601.
bool GetLastWriteTime(const std::string& path, std::time_t& time) {
    constexpr std::int64_t kIntervalsTo1970 = 116444736000000000LL;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    const FILETIME& written = data.ftLastWriteTime;
    const auto intervals =
        static_cast<std::int64_t>((std::uint64_t{written.dwHighDateTime} << 32) | written.dwLowDateTime);
    time = static_cast<std::time_t>((intervals - kIntervalsTo1970) / 10000000);
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
    if (file && LockWithinBound(file.get(), first)) lock.reset(new FileLock{std::move(file)});
    return lock;
}

struct AppendFile {
    OwnedHandle handle;
};

void AppendFileCloser::operator()(AppendFile* file) const { delete file; }

// FILE_APPEND_DATA alone writes at the end as it is then; FILE_READ_DATA is for the lock.
AppendFilePointer OpenAppendFile(const std::string& path) {
    HANDLE handle =
        CreateFileA(path.c_str(), FILE_APPEND_DATA | FILE_READ_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return AppendFilePointer(new AppendFile{OwnHandle(handle)});
}

// Wine appends in two steps, so runs take turns by a lock on a byte past any end,
// which holds no reader; without it in its bound (a backup tool holds the file),
// the record goes unlocked. Line ends are translated here for one WriteFile.
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
    const bool held = LockWithinBound(handle, place);
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

// Quoted: unquoted, a directory such as C:\Program Files\Cams would make Windows start C:\Program.exe.
std::string ProgramCommandLine(const std::string& programPath, const std::string& argument) {
    return "\"" + programPath + "\" " + argument;
}

bool StartProgram(const std::string& programPath, const std::string& argument,
                  const std::string& workingDirectory, std::string& errorText) {
    // CreateProcessA may write into the command line, so it gets a copy it owns.
    std::string commandLine = ProgramCommandLine(programPath, argument);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    // Without it a console client gets our standard handles though none is inherited, and a
    // caller reading our output through a pipe would wait for the client; they stay null.
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION process{};
    // As a current directory, "X:" is drive X's current directory, not its root.
    const bool driveOnly = workingDirectory.size() == 2 && workingDirectory[1] == ':';
    const std::string directory = driveOnly ? workingDirectory + '\\' : workingDirectory;
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                        directory.c_str(), &startup, &process)) {
        errorText = SystemErrorText(GetLastError());
        return false;
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return true;
}

// A directory needs FILE_FLAG_BACKUP_SEMANTICS to open; a pipe or device is no disk file.
std::FILE* OpenRegularFileForReading(const std::string& path) {
    OwnedHandle handle = OwnHandle(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle || GetFileType(handle.get()) != FILE_TYPE_DISK) return nullptr;
    return StreamOn(handle.release(), _O_RDONLY | _O_TEXT, "r");
}

// mktime sets tm_wday on success only, telling failure from the time -1. It refuses
// all of 1969: such a time is read in 1970, a year as long, and taken a year back.
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
    std::vector<std::string> arguments;
    for (const std::wstring& argument : WideArguments()) arguments.push_back(Utf8(argument.c_str()));
    return arguments;
}
