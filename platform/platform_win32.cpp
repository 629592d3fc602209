// The platform interface on Windows, through the Win32 functions themselves.
#include "platform.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
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

}  // namespace

void KeepLargeBlocksInHeap() {}

bool GetRunningProgramPath(std::string& path, std::string& errorText) {
    std::vector<char> buffer(kFirstPathBufferSize);
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        DWORD length = GetModuleFileNameA(nullptr, buffer.data(), size);
        if (length == 0) {
            errorText = SystemErrorText(GetLastError());
            return false;
        }
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

// While another process has the target open (a client reading the previous
// document, or another run replacing it), Windows refuses the replace for a
// moment; it is tried again for up to two seconds before it counts as failed.
// ReplaceFileA needs a file to replace, so where there is none (or a directory,
// which a move refuses) the new file is moved instead; should ReplaceFileA fail after moving the old file
// aside, the next try finds the name free and does the same.
bool ReplaceFileInOneStep(const std::string& fromPath, const std::string& toPath,
                          const std::string& asidePath, std::string& errorText) {
    constexpr int kTries = 200;
    constexpr DWORD kPauseMilliseconds = 10;
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        const DWORD attributes = GetFileAttributesA(toPath.c_str());
        const bool replacing =
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
        const BOOL done = replacing
                              ? ReplaceFileA(toPath.c_str(), fromPath.c_str(), asidePath.c_str(),
                                             REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                              : MoveFileExA(fromPath.c_str(), toPath.c_str(), MOVEFILE_REPLACE_EXISTING);
        if (done) {
            // A client still reading the old document shares it for deletion, or
            // the replace would have been refused; a copy left behind anyway
            // carries this process's name, and a later run removes it.
            if (replacing) DeleteFileA(asidePath.c_str());
            return true;
        }
        error = GetLastError();
        if (replacing && error == ERROR_FILE_NOT_FOUND) continue;  // the document went in between
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION &&
            error != ERROR_UNABLE_TO_REMOVE_REPLACED && error != ERROR_UNABLE_TO_MOVE_REPLACEMENT &&
            error != ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
            break;
        }
        Sleep(kPauseMilliseconds);
    }
    errorText = SystemErrorText(error);
    return false;
}

// Nothing to do: ReplaceFileInOneStep keeps the replaced document's access.
bool GiveFileThePermissionsOf(std::FILE*, const std::string&, std::string&) { return true; }

// Through CreateFileA, as ReplaceFileInOneStep and RemoveFile go through the
// ANSI calls: the C runtime's fopen reaches paths longer than MAX_PATH under
// Wine, where the others cannot, and a file it made there could never be
// renamed or removed again. A directory, or a file that is being deleted, at the
// name is refused as access denied: that name is taken too. The C runtime then
// writes the handle in text mode.
std::FILE* CreateNewTextFile(const std::string& path, bool& nameTaken, std::string& errorText) {
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        nameTaken =
            error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED;
        errorText = SystemErrorText(error);
        return nullptr;
    }
    nameTaken = false;
    int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_TEXT);
    if (descriptor < 0) {
        errorText = LastErrorText();
        CloseHandle(handle);
        DeleteFileA(path.c_str());
        return nullptr;
    }
    std::FILE* file = _fdopen(descriptor, "w");
    if (file == nullptr) {
        errorText = LastErrorText();
        _close(descriptor);
        DeleteFileA(path.c_str());
    }
    return file;
}

bool ListRegularFiles(const std::string& directory, std::vector<std::string>& names, std::string& errorText) {
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA((directory + "*").c_str(), &entry);
    if (listing == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) return true;
        errorText = SystemErrorText(error);
        return false;
    }
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

bool RemoveFile(const std::string& path, std::string& errorText) {
    if (DeleteFileA(path.c_str())) return true;
    errorText = SystemErrorText(GetLastError());
    return false;
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
AppendFilePointer OpenAppendFile(const std::string& path, std::string& errorText) {
    HANDLE handle = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errorText = SystemErrorText(GetLastError());
        return nullptr;
    }
    return AppendFilePointer(new AppendFile(handle));
}

// The text-mode line end is written here, so that the whole record goes out in
// one WriteFile (the C runtime's text mode would split it into pieces).
bool AppendToFile(AppendFile& file, const std::string& text, std::string& errorText) {
    std::string translated;
    translated.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') translated += '\r';
        translated += c;
    }
    const char* data = translated.data();
    size_t left = translated.size();
    while (left > 0) {
        DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(file.handle, data, chunk, &written, nullptr)) {
            errorText = SystemErrorText(GetLastError());
            return false;
        }
        if (written == 0) {
            errorText = SystemErrorText(ERROR_WRITE_FAULT);
            return false;
        }
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

// The C runtime decides whether daylight time applies (tm_isdst -1): the reading
// that sites already rely on.
bool MakeLocalCalendarTime(const std::tm& localTime, std::time_t& time) {
    std::tm record = localTime;
    record.tm_isdst = -1;
    // mktime ignores tm_wday and sets it on success, so a -1 left there tells its
    // failure from the valid time -1.
    record.tm_wday = -1;
    time = std::mktime(&record);
    return time != static_cast<std::time_t>(-1) || record.tm_wday != -1;
}
