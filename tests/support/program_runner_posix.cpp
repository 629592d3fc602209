#include "program_runner.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace {

// A pipe, closed when it goes; close-on-exec, so that programs other threads start do not hold it open.
struct Pipe {
    int ends[2] = {-1, -1};
    bool Open() { return pipe2(ends, O_CLOEXEC) == 0; }
    void Close(int end) {
        if (ends[end] >= 0) close(ends[end]);
        ends[end] = -1;
    }
    ~Pipe() {
        Close(0);
        Close(1);
    }
};

// Reads both pipes until each reaches its end or the deadline passes.
bool ReadToEnd(Pipe& out, Pipe& err, ProgramRun& run, std::chrono::steady_clock::time_point deadline) {
    std::string* texts[] = {&run.standardOutput, &run.standardError};
    Pipe* pipes[] = {&out, &err};
    for (;;) {
        pollfd waiting[2];
        nfds_t count = 0;
        int which[2];
        for (int i = 0; i < 2; ++i) {
            if (pipes[i]->ends[0] < 0) continue;
            waiting[count] = {pipes[i]->ends[0], POLLIN, 0};
            which[count++] = i;
        }
        if (count == 0) return true;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        int ready = poll(waiting, count, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) return false;
        for (nfds_t i = 0; ready > 0 && i < count; ++i) {
            if (waiting[i].revents == 0) continue;
            char buffer[4096];
            ssize_t length = read(waiting[i].fd, buffer, sizeof buffer);
            if (length > 0)
                texts[which[i]]->append(buffer, static_cast<size_t>(length));
            else if (length == 0 || errno != EINTR)
                pipes[which[i]]->Close(0);
        }
    }
}

// Waits for the child until the deadline; past it, the child is killed.
bool WaitForExit(pid_t child, ProgramRun& run, std::chrono::steady_clock::time_point deadline) {
    int status = 0;
    for (;;) {
        pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) break;
        if (done < 0 && errno != EINTR) return false;
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(child, SIGKILL);
            while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}

}  // namespace

bool RunProgramAndWait(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& workingDirectory, ProgramRun& run) {
    Pipe out, err;
    if (!out.Open() || !err.Open()) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out.ends[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err.ends[1], 2);
    posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());

    std::vector<std::string> all{program};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : all) argv.push_back(&argument[0]);
    argv.push_back(nullptr);

    const auto deadline = std::chrono::steady_clock::now() + kRunTimeout;
    pid_t child = 0;
    int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    out.Close(1);
    err.Close(1);
    if (spawned != 0) return false;
    run.started = true;
    const bool readToEnd = ReadToEnd(out, err, run, deadline);
    // A program that outlives or holds open its output is killed at the deadline: the test fails, not hangs.
    const bool exited = WaitForExit(child, run, readToEnd ? deadline : std::chrono::steady_clock::now());
    return readToEnd && exited;
}
