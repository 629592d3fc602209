// The platform interface on Windows, through the Win32 functions themselves.
#include "platform.h"
#include "code_page_path.h"
#include "temporary_name.h"

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
constexpr wchar_t kEventSource[] = L"Kestrup";
constexpr DWORD kEventId = 1;

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

// Windows refuses to replace a read-only file. Sets or clears the read-only
// attribute of the file at path itself (a link there, not what it leads to);
// true when it changed.
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

// A lone surrogate becomes U+FFFD, which is no ASCII either.
std::string Utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    if (!utf8.empty()) utf8.pop_back();  // the terminating null
    return utf8;
}

std::wstring ArgumentZeroAsReceived() {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring argument = wide != nullptr && count > 0 ? wide[0] : L"";
    LocalFree(wide);
    return argument;
}

}  // namespace

void KeepLargeBlocksInHeap() {}

// Argument 0 stands in from the wide command line: argv's ANSI text is the same
// lookalike.
bool GetRunningProgramPath(const char*, std::string& path, std::string& unspelt) {
    std::wstring wide(kFirstPathBufferSize, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(wide.size());
        const DWORD length = GetModuleFileNameW(nullptr, wide.data(), size);
        // A full buffer means the path may have been cut; try again with more room.
        if (length > 0 && length < size) {
            wide.resize(length);
            break;
        }
        if (length == 0) {
            wide = ArgumentZeroAsReceived();
            break;
        }
        wide.resize(wide.size() * 2);
    }
    path.clear();
    if (wide.empty() || PathInCodePage(wide, L"", CP_ACP, path)) return true;
    // A short name may be longer than its long one ("Cā" as "C_~1"): asked for
    // its size first.
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

// The right to come to the front passes only from a process that holds it: the
// link program, which the browser started on a click, does.
void AllowNextProgramToTheFront() { AllowSetForegroundWindow(ASFW_ANY); }

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

// The temporary file is created, marked for deletion and moved through the
// handle that created it, opened with DELETE access; null once it is moved.
// Through CreateFileA, as the moves go through MoveFileExA: the C runtime's
// fopen reaches paths longer than MAX_PATH under Wine, where the ANSI calls
// cannot, and a file it made there could never be moved or removed again.
struct ReplacingFile {
    std::string path;
    std::string documentPath;
    OwnedHandle handle;
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;  // the document's, for the file once it is moved
};

namespace {

// Marks the file for deletion when its last handle closes, even by a killed
// process, or takes the mark back. A read-only file cannot be marked, so the
// document's read-only attribute is given only while the file is not marked.
bool MarkForDeletion(ReplacingFile& file, bool deleted) {
    FILE_DISPOSITION_INFO disposition{static_cast<BOOLEAN>(deleted)};
    if (deleted) SetKeptAttributes(file.handle.get(), file.attributes & ~FILE_ATTRIBUTE_READONLY);
    if (!SetFileInformationByHandle(file.handle.get(), FileDispositionInfo, &disposition,
                                    sizeof disposition)) {
        return false;
    }
    if (!deleted) SetKeptAttributes(file.handle.get(), file.attributes);
    return true;
}

// The document is opened as itself: with FILE_FLAG_OPEN_REPARSE_POINT a link is
// the link, told by its attribute. Its access control list keeps its protection
// from inheritance, or the lack of it. A directory there has no access to carry
// and needs no word: the move over it fails.
bool CarryAccess(ReplacingFile& file, bool& accessCarried, std::string& errorText) {
    accessCarried = true;
    OwnedHandle document = OwnHandle(
        CreateFileA(file.documentPath.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    if (!document || !GetFileInformationByHandle(document.get(), &information)) {
        accessCarried = GetLastError() == ERROR_FILE_NOT_FOUND;
        return true;
    }
    constexpr DWORD kNoAccessToCarry = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return true;
    if ((information.dwFileAttributes & kNoAccessToCarry) != 0 ||
        GetFileType(document.get()) != FILE_TYPE_DISK) {
        accessCarried = false;
        return true;
    }
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    accessCarried = GetSecurityInfo(document.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                    nullptr, &dacl, nullptr, &descriptor) == ERROR_SUCCESS;
    if (accessCarried) {
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        const bool isProtected = GetSecurityDescriptorControl(descriptor, &control, &revision) &&
                                 (control & SE_DACL_PROTECTED) != 0;
        const SECURITY_INFORMATION which =
            DACL_SECURITY_INFORMATION |
            (isProtected ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION);
        const DWORD result =
            SetSecurityInfo(file.handle.get(), SE_FILE_OBJECT, which, nullptr, nullptr, dacl, nullptr);
        LocalFree(descriptor);
        if (result != ERROR_SUCCESS) {
            errorText = SystemErrorText(result);
            return false;
        }
    }
    file.attributes = information.dwFileAttributes;
    if (SetKeptAttributes(file.handle.get(), file.attributes & ~FILE_ATTRIBUTE_READONLY)) return true;
    errorText = SystemErrorText(GetLastError());
    return false;
}

}  // namespace

void ReplacingFileCloser::operator()(ReplacingFile* file) const {
    if (file->handle) MarkForDeletion(*file, true);
    delete file;
}

// Anything at the name, be it a file, a link or a directory, makes CreateFileA
// fail, and another name is tried. The C runtime writes text through a
// duplicate of the handle; the sharing of deletion lets the file be moved
// while it is held.
ReplacingFilePointer CreateReplacingFile(const std::string& documentPath, std::FILE*& stream,
                                         bool& accessCarried, std::string& errorText) {
    ReplacingFilePointer file(new ReplacingFile);
    file->documentPath = documentPath;
    DWORD error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < kTemporaryNameTries && error == ERROR_FILE_EXISTS; ++attempt) {
        file->path = NewTemporaryPath(documentPath);
        file->handle = OwnHandle(CreateFileA(file->path.c_str(), GENERIC_WRITE | WRITE_DAC | DELETE,
                                             FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
        error = file->handle ? ERROR_SUCCESS : GetLastError();
    }
    if (!file->handle) {
        errorText = SystemErrorText(error);
        return nullptr;
    }
    if (!MarkForDeletion(*file, true)) {
        errorText = SystemErrorText(GetLastError());
        return nullptr;
    }
    if (!CarryAccess(*file, accessCarried, errorText)) return nullptr;
    HANDLE duplicate = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), file->handle.get(), GetCurrentProcess(), &duplicate, 0, FALSE,
                         DUPLICATE_SAME_ACCESS) ||
        (stream = StreamOn(duplicate, _O_WRONLY | _O_TEXT, "w")) == nullptr) {
        errorText = SystemErrorText(GetLastError());
        return nullptr;
    }
    return file;
}

// One MoveFileExA, so that a client opening the document at any moment finds
// the old one or the new one. The file is unmarked for deletion just before,
// and marked again when the move is refused. While another process has the
// document open (a client reading the previous one, or another run replacing
// it), Windows refuses the move for a moment; it is tried again for up to two
// seconds. A read-only document refuses it too: whenever the move is refused
// and the document is read-only, which another run's move may have brought at
// any time, the attribute is cleared (the file carries it on); if the move
// fails in the end, the document is made read-only again. The attributes are
// read without opening the document: runs at once would hold each other up.
bool KeepReplacingFile(ReplacingFile& file, std::string& errorText) {
    constexpr int kTries = 200;
    constexpr DWORD kPauseMilliseconds = 10;
    DWORD error = ERROR_SUCCESS;
    bool madeWritable = false;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        if (!MarkForDeletion(file, false)) {
            error = GetLastError();
            break;
        }
        if (MoveFileExA(file.path.c_str(), file.documentPath.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            file.handle.reset();
            return true;
        }
        error = GetLastError();
        MarkForDeletion(file, true);
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) break;
        const DWORD attributes = GetFileAttributesA(file.documentPath.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
            SetReadOnly(file.documentPath, false)) {
            madeWritable = true;
            continue;
        }
        Sleep(kPauseMilliseconds);
    }
    if (madeWritable) SetReadOnly(file.documentPath, true);
    errorText = SystemErrorText(error);
    return false;
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
    constexpr int kTries = 200;
    constexpr DWORD kPauseMilliseconds = 10;
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
    for (int attempt = 0; attempt < kTries && !held; ++attempt) {
        if (attempt > 0) Sleep(kPauseMilliseconds);
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

    // As a current directory, "X:" is drive X's current directory, not its root.
    const bool driveOnly = workingDirectory.size() == 2 && workingDirectory[1] == ':';
    const std::string directory = driveOnly ? workingDirectory + '\\' : workingDirectory;
    if (!CreateProcessA(nullptr, writable.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                        directory.c_str(), &startup, &process)) {
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
    std::vector<std::string> arguments;
    for (int i = 0; wide != nullptr && i < count; ++i) arguments.push_back(Utf8(wide[i]));
    LocalFree(wide);
    return arguments;
}
