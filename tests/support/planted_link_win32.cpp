// On Windows the system call plants the links; under Wine, whose call makes
// none, the host's own shell does.
#include "planted_link.h"

#include <windows.h>

#include <algorithm>
#include <fstream>

namespace {

// Wine runs a Unix program named by its Unix path, in the Unix directory of the
// working directory given, but gives no handle to wait on: the shell writes
// the command's exit status into a marker file once it is done.
constexpr char kShell[] = "/bin/sh";
constexpr char kMarker[] = "host-command.status";
constexpr char kProbeName[] = "kestrup-link-probe-";

// Wine's ntdll exports its own version; Windows' has no such entry.
bool RunsUnderWine() {
    static const bool wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

bool RunHostCommand(const std::string& directory, const std::string& command) {
    std::string commandLine = std::string(kShell) + " -c \"" + command + "; echo $? >" + kMarker + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(kShell, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, directory.c_str(),
                        &startup, &process)) {
        return false;
    }
    if (process.hProcess != nullptr) CloseHandle(process.hProcess);
    if (process.hThread != nullptr) CloseHandle(process.hThread);
    const std::string markerPath = directory + "\\" + kMarker;
    for (int wait = 0; wait < 200; ++wait) {
        std::string status;
        if (std::ifstream(markerPath) >> status) {
            DeleteFileA(markerPath.c_str());
            return status == "0";
        }
        Sleep(50);
    }
    return false;
}

// A link to a file. Without the privilege, Windows 10 and later make one with
// the unprivileged flag in developer mode; older Windows refuse that flag.
bool CreateFileLink(const std::string& link, std::string target) {
    std::replace(target.begin(), target.end(), '/', '\\');
    if (CreateSymbolicLinkA(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)) {
        return true;
    }
    return GetLastError() == ERROR_INVALID_PARAMETER && CreateSymbolicLinkA(link.c_str(), target.c_str(), 0);
}

}  // namespace

std::string WhyNoLinksCanBePlanted() {
    static const std::string why = []() -> std::string {
        if (RunsUnderWine()) return "";
        char directory[MAX_PATH + 1];
        const DWORD length = GetTempPathA(sizeof directory, directory);
        if (length == 0 || length > MAX_PATH) return "no temporary directory to try a symbolic link in";
        const std::string probe = directory + (kProbeName + std::to_string(GetCurrentProcessId()));
        if (!CreateFileLink(probe, "absent")) {
            const DWORD error = GetLastError();
            return "Windows refuses this user symbolic links (error " + std::to_string(error) +
                   "): they need the privilege to create symbolic links, or developer mode";
        }
        DeleteFileA(probe.c_str());
        return "";
    }();
    return why;
}

bool PlantedThroughTheHost() { return RunsUnderWine(); }

bool PlantLink(const std::string& directory, const std::string& name, const std::string& target) {
    if (RunsUnderWine()) return RunHostCommand(directory, "ln -s -- '" + target + "' '" + name + "'");
    return CreateFileLink(directory + "\\" + name, target);
}

bool RemovePlantedLinks(const std::string& directory) {
    if (RunsUnderWine()) return RunHostCommand(directory, "find . -maxdepth 1 -type l -exec rm -f -- {} +");
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool removed = true;
    do {
        // Deleting a symbolic link deletes the link, never its target.
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
            entry.dwReserved0 == IO_REPARSE_TAG_SYMLINK) {
            const std::string link = directory + "\\" + entry.cFileName;
            const bool isDirectory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (!(isDirectory ? RemoveDirectoryA(link.c_str()) : DeleteFileA(link.c_str()))) removed = false;
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return removed;
}
