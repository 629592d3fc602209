#include "program_runner.h"

#include <windows.h>

#include <fstream>
#include <iterator>

namespace {

// Quoted the way the C runtime splits a command line back into arguments.
std::string QuotedArgument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') quoted.append(backslashes * 2 + 1, '\\');
        else quoted.append(backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

HANDLE InheritableFile(const std::string& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string ReadAndRemove(const std::string& path) {
    std::string text;
    {
        std::ifstream in(path, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    DeleteFileA(path.c_str());
    return text;
}

std::string CaptureFileName() {
    char directory[MAX_PATH];
    char name[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    GetTempFileNameA(directory, "ke2", 0, name);
    return name;
}

}  // namespace

bool RunProgramAndWait(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& workingDirectory, ProgramRun& run) {
    std::string commandLine = QuotedArgument(program);
    for (const auto& argument : arguments) commandLine += " " + QuotedArgument(argument);

    const std::string outPath = CaptureFileName();
    const std::string errPath = CaptureFileName();
    HANDLE input = InheritableFile("NUL", GENERIC_READ, OPEN_EXISTING);
    HANDLE output = InheritableFile(outPath, GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE error = InheritableFile(errPath, GENERIC_WRITE, CREATE_ALWAYS);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = error;
    PROCESS_INFORMATION process{};
    BOOL started = CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                  workingDirectory.c_str(), &startup, &process);
    CloseHandle(input);
    CloseHandle(output);
    CloseHandle(error);
    if (started) {
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD status = 0;
        GetExitCodeProcess(process.hProcess, &status);
        run.exitStatus = static_cast<int>(status);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    run.standardOutput = ReadAndRemove(outPath);
    run.standardError = ReadAndRemove(errPath);
    return started != FALSE;
}

const char* TextLineEnd() { return "\r\n"; }
