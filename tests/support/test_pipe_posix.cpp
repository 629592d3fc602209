#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "test_pipe.h"

TestPipe::TestPipe() {
    char pattern[] = "/tmp/kestrup-siteconfig-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return;
    directory_ = pattern;
    std::string fifo = directory_ + "/KestrupConfig.xml";
    if (mkfifo(fifo.c_str(), 0600) == 0) path_ = fifo;
}

TestPipe::~TestPipe() {
    if (!path_.empty()) unlink(path_.c_str());
    if (!directory_.empty()) rmdir(directory_.c_str());
}
