// The platform interface on Windows, through the Win32 functions themselves.
#include "platform.h"

#include <windows.h>

#include <aclapi.h>
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// MAX_PATH: the first try; the buffer grows while the path fills it.
constexpr DWORD kFirstPathBufferSize = 260;
constexpr int kTimeTextSize = 255;

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

// What the file system says identifies an open file or directory: its volume's
// serial number and its file ID. FileIdInfo gives the 128-bit ID that ReFS
// needs; before Windows 8 the 64-bit file index stands in for it.
bool GetIdentity(HANDLE handle, FILE_ID_INFO& identity) {
    if (GetFileInformationByHandleEx(handle, FileIdInfo, &identity, sizeof identity)) return true;
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle, &information)) return false;
    identity = FILE_ID_INFO{};
    identity.VolumeSerialNumber = information.dwVolumeSerialNumber;
    const ULONGLONG index =
        (static_cast<ULONGLONG>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    std::memcpy(identity.FileId.Identifier, &index, sizeof index);
    return true;
}

bool SameIdentity(HANDLE one, HANDLE other) {
    FILE_ID_INFO first;
    FILE_ID_INFO second;
    return GetIdentity(one, first) && GetIdentity(other, second) &&
           first.VolumeSerialNumber == second.VolumeSerialNumber &&
           std::memcmp(&first.FileId, &second.FileId, sizeof first.FileId) == 0;
}

// The path the system resolves an open file to, links followed; empty when it
// cannot tell (as on some network file systems).
std::wstring FinalPath(HANDLE handle) {
    std::vector<wchar_t> buffer(kFirstPathBufferSize);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length =
            GetFinalPathNameByHandleW(handle, buffer.data(), size, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return std::wstring();
        if (length < size) return std::wstring(buffer.data(), length);
        buffer.resize(length);  // the size it needs, the terminating null included
    }
}

// File names compare as the file system compares them: ordinally, ignoring case.
bool SameFileName(const std::wstring& found, const std::string& name) {
    std::vector<wchar_t> wide(name.size() + 1);
    const int length = MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), wide.data(),
                                           static_cast<int>(wide.size()));
    return length > 0 && CompareStringOrdinal(found.data(), static_cast<int>(found.size()), wide.data(),
                                              length, TRUE) == CSTR_EQUAL;
}

// Opens path with the access asked, but only when it is a file this program may
// act on: a plain disk file with no other name, whose own name is this name in
// this very directory. A Unix link shows under Wine as such a file (and opens
// and deletes what it leads to), but the system resolves it to the name and
// directory of what it leads to: the directory found is told from this one by
// its identity, and the name found from this name. Links the system marks as
// such, directories, devices and files with more than one name are refused too.
// Null when refused or not opened; information then holds nothing of use.
OwnedHandle OpenPlainFileOfItsDirectory(const std::string& path, DWORD access,
                                        BY_HANDLE_FILE_INFORMATION& information) {
    OwnedHandle file = OwnHandle(CreateFileA(path.c_str(), access | FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return nullptr;
    constexpr DWORD kNotPlain =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
    if (GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.get(), &information) ||
        (information.dwFileAttributes & kNotPlain) != 0 || information.nNumberOfLinks != 1) {
        return nullptr;
    }
    const std::string::size_type separator = path.find_last_of("\\/");
    const std::string directory = separator == std::string::npos ? "." : path.substr(0, separator + 1);
    const std::string name = separator == std::string::npos ? path : path.substr(separator + 1);
    const std::wstring found = FinalPath(file.get());
    const std::wstring::size_type foundSeparator = found.rfind(L'\\');
    if (foundSeparator == std::wstring::npos) return nullptr;
    // Both directories are opened for their identity alone; the one found keeps
    // its separator, so that a volume's root stays a directory.
    OwnedHandle expectedDirectory =
        OwnHandle(CreateFileA(directory.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    OwnedHandle foundDirectory =
        OwnHandle(CreateFileW(found.substr(0, foundSeparator + 1).c_str(), FILE_READ_ATTRIBUTES, kShareAll,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!expectedDirectory || !foundDirectory ||
        !SameIdentity(expectedDirectory.get(), foundDirectory.get()) ||
        !SameFileName(found.substr(foundSeparator + 1), name)) {
        return nullptr;
    }
    return file;
}

// Sets the kept ones of attributes on the open file, and clears the others of
// them; its times stay as they are (zero in FILE_BASIC_INFO changes nothing).
bool SetKeptAttributes(HANDLE file, DWORD attributes) {
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = attributes & kKeptAttributes;
    if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic) != 0;
}

// Windows refuses to replace a read-only file. Sets or clears the read-only
// attribute of the document at path; true when it changed.
bool ChangeReadOnlyAttribute(const std::string& path, bool readOnly) {
    BY_HANDLE_FILE_INFORMATION information;
    OwnedHandle document = OpenPlainFileOfItsDirectory(path, FILE_WRITE_ATTRIBUTES, information);
    if (!document || ((information.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) == readOnly)
        return false;
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

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

std::string LastErrorText() { return std::strerror(errno); }

// The handle that created the file, opened with DELETE access, so that the
// file can go through it; null once the file is moved.
struct NewFile {
    NewFile(const std::string& createdPath, HANDLE createdHandle)
        : path(createdPath), handle(createdHandle) {}

    const std::string path;
    OwnedHandle handle;
};

// A read-only file would refuse to go, and the file may have taken the
// attribute from the document it was to replace.
void NewFileCloser::operator()(NewFile* file) const {
    if (file->handle) {
        SetKeptAttributes(file->handle.get(), FILE_ATTRIBUTE_NORMAL);
        FILE_DISPOSITION_INFO disposition{TRUE};
        SetFileInformationByHandle(file->handle.get(), FileDispositionInfo, &disposition, sizeof disposition);
    }
    delete file;
}

// Through CreateFileA, as MoveNewFileOver and RemoveFile go through the ANSI
// calls: the C runtime's fopen reaches paths longer than MAX_PATH under Wine,
// where the others cannot, and a file it made there could never be renamed or
// removed again. A directory, or a file that is being deleted, at the name is
// refused as access denied: that name is taken too. The handle is kept; the C
// runtime writes text through a duplicate of it. WRITE_DAC lets
// GiveFileThePermissionsOf give the file the document's access; the sharing
// of deletion lets the file be moved while it is held.
NewFilePointer CreateNewTextFile(const std::string& path, std::FILE*& stream, bool& nameTaken,
                                 std::string& errorText) {
    HANDLE handle =
        CreateFileA(path.c_str(), GENERIC_WRITE | WRITE_DAC | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        nameTaken =
            error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED;
        errorText = SystemErrorText(error);
        return nullptr;
    }
    nameTaken = false;
    NewFilePointer file(new NewFile(path, handle));
    HANDLE duplicate = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &duplicate, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        errorText = SystemErrorText(GetLastError());
        return nullptr;
    }
    int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(duplicate), _O_WRONLY | _O_TEXT);
    if (descriptor < 0) {
        errorText = LastErrorText();
        CloseHandle(duplicate);
        return nullptr;
    }
    stream = _fdopen(descriptor, "w");
    if (stream == nullptr) {
        errorText = LastErrorText();
        _close(descriptor);
        return nullptr;
    }
    return file;
}

// One MoveFileExA, so that a client opening the document at any moment finds
// the old one or the new one. While another process has the document open (a
// client reading the previous one, or another run replacing it), Windows
// refuses the move for a moment; it is tried again for up to two seconds before
// it counts as failed. A read-only document refuses it too: whenever the move
// is refused and the document is read-only, which another run's move may have
// brought at any time, the attribute is cleared (the new file carries it on);
// if the move fails in the end, the document is made read-only again. The
// handle is closed as soon as the file is moved, as a reader that does not
// share deletion is refused while it is open.
bool MoveNewFileOver(NewFile& file, const std::string& toPath, std::string& errorText) {
    constexpr int kTries = 200;
    constexpr DWORD kPauseMilliseconds = 10;
    DWORD error = ERROR_SUCCESS;
    bool madeWritable = false;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        if (MoveFileExA(file.path.c_str(), toPath.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            file.handle.reset();
            return true;
        }
        error = GetLastError();
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) break;
        // The attributes are read without opening the document: an open one
        // cannot be replaced under Wine, and runs at once would hold each other up.
        const DWORD attributes = GetFileAttributesA(toPath.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
            ChangeReadOnlyAttribute(toPath, false)) {
            madeWritable = true;
            continue;
        }
        Sleep(kPauseMilliseconds);
    }
    if (madeWritable) ChangeReadOnlyAttribute(toPath, true);
    errorText = SystemErrorText(error);
    return false;
}

// Through the new file's own handle, from a handle on the document that was
// checked to be a plain file of the directory. The DACL keeps its protection
// from inheritance, or the lack of it. Where the document cannot be told from
// a link, or its DACL cannot be read, the new file keeps the access it
// inherited from the directory, and the run goes on; a directory there has no
// access to carry (the move over it fails).
bool GiveFileThePermissionsOf(std::FILE* file, const std::string& modelPath, bool& accessCarried,
                              std::string& errorText) {
    BY_HANDLE_FILE_INFORMATION information;
    OwnedHandle model = OpenPlainFileOfItsDirectory(modelPath, READ_CONTROL, information);
    if (!model) {
        const DWORD attributes = GetFileAttributesA(modelPath.c_str());
        accessCarried = attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        return true;
    }
    const HANDLE target = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
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
        const DWORD result = SetSecurityInfo(target, SE_FILE_OBJECT, which, nullptr, nullptr, dacl, nullptr);
        LocalFree(descriptor);
        if (result != ERROR_SUCCESS) {
            errorText = SystemErrorText(result);
            return false;
        }
    }
    if (SetKeptAttributes(target, information.dwFileAttributes)) return true;
    errorText = SystemErrorText(GetLastError());
    return false;
}

bool ListRegularFiles(const std::string& directory, std::vector<std::string>& names) {
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA((directory + "*").c_str(), &entry);
    if (listing == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    constexpr DWORD kNotRegular =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
    do {
        if ((entry.dwFileAttributes & kNotRegular) == 0) names.push_back(entry.cFileName);
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
    return true;
}

// OpenProcess refuses an identifier that no process has with
// ERROR_INVALID_PARAMETER; a process that has exited but is still held open
// keeps its identifier, and is told apart by its signalled handle.
bool ProcessHasEnded(unsigned long processId) {
    if (processId == 0) return false;
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (process == nullptr) return GetLastError() == ERROR_INVALID_PARAMETER;
    bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

// Through a handle on the name itself, once it is checked to be a plain file of
// its directory: DeleteFileA would remove what a link leads to where the system
// shows the link as a plain file. A read-only file would refuse to go, so that
// attribute is cleared first.
bool RemoveFile(const std::string& path) {
    BY_HANDLE_FILE_INFORMATION information;
    OwnedHandle file = OpenPlainFileOfItsDirectory(path, DELETE | FILE_WRITE_ATTRIBUTES, information);
    if (!file) return false;
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetKeptAttributes(file.get(), information.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
    }
    FILE_DISPOSITION_INFO disposition{TRUE};
    return SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

struct AppendFile {
    explicit AppendFile(HANDLE openHandle) : handle(openHandle) {}
    ~AppendFile() { CloseHandle(handle); }
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    const HANDLE handle;
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
    return AppendFilePointer(new AppendFile(handle));
}

// Wine finds the end and writes there in two steps, so appends from processes
// at once can land on the same place and one record is lost (seen with ten
// processes). An exclusive lock on one byte far past any end makes the runs
// take turns; it covers no data, so readers and other writers are never held.
// Another program may hold the whole file locked (a backup tool): the lock is
// tried for up to two seconds, never waited for, and then the record is
// written without it (a lock that refuses the write sends it to standard error).
class AppendTurn {
public:
    explicit AppendTurn(HANDLE handle) : handle_(handle) {
        constexpr int kTries = 200;
        constexpr DWORD kPauseMilliseconds = 10;
        place_.Offset = 0xFFFFFFFE;
        place_.OffsetHigh = 0x7FFFFFFF;
        for (int attempt = 0; attempt < kTries && !held_; ++attempt) {
            if (attempt > 0) Sleep(kPauseMilliseconds);
            held_ = LockFileEx(handle_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                               &place_) != FALSE;
            if (!held_ && GetLastError() != ERROR_LOCK_VIOLATION) break;  // a file system without locks
        }
    }
    ~AppendTurn() {
        if (held_) UnlockFileEx(handle_, 0, 1, 0, &place_);
    }
    AppendTurn(const AppendTurn&) = delete;
    AppendTurn& operator=(const AppendTurn&) = delete;

private:
    HANDLE handle_;
    OVERLAPPED place_{};
    bool held_ = false;
};

// The text-mode line end is written here, so that the whole record goes out in
// one WriteFile (the C runtime's text mode would split it into pieces). Without
// the lock (a file system that has none) the record is still written.
bool AppendToFile(AppendFile& file, const std::string& text) {
    std::string translated;
    translated.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') translated += '\r';
        translated += c;
    }
    const AppendTurn turn(file.handle);
    const char* data = translated.data();
    size_t left = translated.size();
    while (left > 0) {
        DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(file.handle, data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        left -= written;
    }
    return true;
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
    int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_TEXT);
    if (descriptor < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(descriptor, "r");
    if (file == nullptr) _close(descriptor);
    return file;
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
