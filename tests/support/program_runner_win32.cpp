#include "program_runner.h"

#include <windows.h>

#include <mutex>

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
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

// Handles are inheritable only under this lock, and closed before it is released: a child another thread
// starts meanwhile would get every inheritable handle, and hold this run's pipes open.
std::mutex inheritanceLock;

struct OwnedHandle {
    HANDLE handle = nullptr;
    OwnedHandle() = default;
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    ~OwnedHandle() { Close(); }
    void Close() {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
        handle = nullptr;
    }
};

// Reads both pipes to their ends or the deadline; anonymous pipes cannot wait with a timeout: polled.
bool ReadToEnd(OwnedHandle& out, OwnedHandle& err, ProgramRun& run, ULONGLONG deadline) {
    OwnedHandle* pipes[] = {&out, &err};
    std::string* texts[] = {&run.standardOutput, &run.standardError};
    for (;;) {
        bool open = false;
        bool read = false;
        for (int i = 0; i < 2; ++i) {
            if (pipes[i]->handle == nullptr) continue;
            DWORD available = 0;
            if (!PeekNamedPipe(pipes[i]->handle, nullptr, 0, nullptr, &available, nullptr)) {
                pipes[i]->Close();  // the write end is closed and all is read
                continue;
            }
            open = true;
            if (available == 0) continue;
            char buffer[4096];
            DWORD length = 0;
            DWORD wanted = available < sizeof buffer ? available : static_cast<DWORD>(sizeof buffer);
            if (ReadFile(pipes[i]->handle, buffer, wanted, &length, nullptr) && length > 0) {
                texts[i]->append(buffer, length);
                read = true;
            }
        }
        if (!open) return true;
        if (GetTickCount64() >= deadline) return false;
        if (!read) Sleep(5);
    }
}

// UTF-8 arguments, so that a character outside the ANSI code page reaches the wide command line.
std::wstring Wide(const std::string& text) {
    std::wstring wide(text.size() + 1, L'\0');
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                           static_cast<int>(wide.size()));
    wide.resize(length > 0 ? length : 0);
    return wide;
}

}  // namespace

bool RunProgramAndWait(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& workingDirectory, ProgramRun& run) {
    std::string commandLine = QuotedArgument(program);
    for (const auto& argument : arguments) commandLine += " " + QuotedArgument(argument);

    OwnedHandle outRead, outWrite, errRead, errWrite, input;
    if (!CreatePipe(&outRead.handle, &outWrite.handle, nullptr, 0) ||
        !CreatePipe(&errRead.handle, &errWrite.handle, nullptr, 0)) {
        return false;
    }
    const ULONGLONG deadline =
        GetTickCount64() + static_cast<ULONGLONG>(std::chrono::milliseconds(kRunTimeout).count());
    PROCESS_INFORMATION process{};
    BOOL started = FALSE;
    {
        std::lock_guard<std::mutex> lock(inheritanceLock);
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        input.handle = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        SetHandleInformation(outWrite.handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        SetHandleInformation(errWrite.handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);

        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input.handle;
        startup.hStdOutput = outWrite.handle;
        startup.hStdError = errWrite.handle;
        std::wstring wideCommandLine = Wide(commandLine);
        started = CreateProcessW(Wide(program).c_str(), &wideCommandLine[0], nullptr, nullptr, TRUE, 0,
                                 nullptr, Wide(workingDirectory).c_str(), &startup, &process);
        input.Close();
        outWrite.Close();
        errWrite.Close();
    }
    if (!started) return false;
    run.started = true;
    OwnedHandle processHandle, threadHandle;
    processHandle.handle = process.hProcess;
    threadHandle.handle = process.hThread;

    const bool readToEnd = ReadToEnd(outRead, errRead, run, deadline);
    const ULONGLONG now = GetTickCount64();
    // A program that outlives or holds open its output is killed at the deadline: the test fails, not hangs.
    const DWORD wait = readToEnd && deadline > now ? static_cast<DWORD>(deadline - now) : 0;
    if (WaitForSingleObject(process.hProcess, wait) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
        return false;
    }
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    run.exitStatus = static_cast<int>(status);
    return readToEnd;
}
