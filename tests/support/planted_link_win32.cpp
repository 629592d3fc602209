#include "planted_link.h"

#include <windows.h>

#include <fstream>

namespace {

// Wine runs a Unix program named by its Unix path, in the Unix directory of the
// working directory given, but gives no handle to wait on: the shell writes
// the command's exit status into a marker file once it is done.
constexpr char kShell[] = "/bin/sh";
constexpr char kMarker[] = "host-command.status";

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

}  // namespace

bool PlantLink(const std::string& directory, const std::string& name, const std::string& target) {
    return RunHostCommand(directory, "ln -s -- '" + target + "' '" + name + "'");
}

bool RemovePlantedLinks(const std::string& directory) {
    return RunHostCommand(directory, "find . -maxdepth 1 -type l -exec rm -f -- {} +");
}
