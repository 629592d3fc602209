#include <sys/stat.h>

#include "test_pipe.h"

TestPipe::TestPipe() {
    directory_.emplace("kestrup-pipe");
    std::string fifo = directory_->File("KestrupConfig.xml");
    if (mkfifo(fifo.c_str(), 0600) == 0) path_ = fifo;
}

// The scratch directory takes the FIFO with it.
TestPipe::~TestPipe() = default;
