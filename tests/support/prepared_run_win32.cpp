#include "prepared_run.h"

#include <windows.h>

// The program's first thread is created suspended and resumed once prepared.
bool RunPreparedProgramAndWait(const std::string& program, const std::vector<std::string>& arguments,
                               const std::string& workingDirectory,
                               const std::function<void(unsigned long processId)>& prepare) {
    std::string commandLine = "\"" + program + "\"";
    for (const auto& argument : arguments) commandLine += " \"" + argument + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        workingDirectory.c_str(), &startup, &process)) {
        return false;
    }
    prepare(process.dwProcessId);
    ResumeThread(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return true;
}
