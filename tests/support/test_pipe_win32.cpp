#include <windows.h>

#include "test_pipe.h"

// The server end stays open and never writes: a client reading from the pipe would wait for ever.
TestPipe::TestPipe() {
    std::string name = "\\\\.\\pipe\\kestrup-siteconfig-" + std::to_string(GetCurrentProcessId());
    HANDLE pipe = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 4, 4096,
                                   4096, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) return;
    handle_ = pipe;
    path_ = name;
}

TestPipe::~TestPipe() {
    if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
}
