// A named pipe nobody writes to, which the reader must refuse without waiting: FIFO or \\.\pipe\.
#pragma once

#include <optional>
#include <string>

#include "scratch_directory.h"

class TestPipe {
public:
    TestPipe();
    ~TestPipe();
    TestPipe(const TestPipe&) = delete;
    TestPipe& operator=(const TestPipe&) = delete;

    // Empty when the pipe could not be made.
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    std::optional<ScratchDirectory> directory_;  // POSIX: the directory holding the FIFO
    [[maybe_unused]] void* handle_ = nullptr;    // Windows: the server end, kept open
};
