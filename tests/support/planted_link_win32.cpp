#include "planted_link.h"

#include <windows.h>

#include <fstream>

namespace {

// Wine runs a Unix program named by its Unix path, in the Unix directory of the
// working directory given, but gives no handle to wait on: the shell writes
// ln's exit status into a marker file beside the link once it is done.
constexpr char kShell[] = "/bin/sh";
constexpr char kMarkerEnd[] = ".planted";

}  // namespace

bool PlantLink(const std::string& directory, const std::string& name, const std::string& target) {
    const std::string marker = name + kMarkerEnd;
    std::string commandLine =
        std::string(kShell) + " -c \"ln -s -- '" + target + "' '" + name + "'; echo $? >'" + marker + "'\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(kShell, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, directory.c_str(),
                        &startup, &process)) {
        return false;
    }
    if (process.hProcess != nullptr) CloseHandle(process.hProcess);
    if (process.hThread != nullptr) CloseHandle(process.hThread);
    const std::string markerPath = directory + "\\" + marker;
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
