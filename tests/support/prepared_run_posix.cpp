#include "prepared_run.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

// The child waits on a pipe between fork and exec; exec keeps the process id.
bool RunPreparedProgramAndWait(const std::string& program, const std::vector<std::string>& arguments,
                               const std::string& workingDirectory,
                               const std::function<void(unsigned long processId)>& prepare) {
    std::vector<std::string> all{program};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : all) argv.push_back(&argument[0]);
    argv.push_back(nullptr);

    int go[2];
    if (pipe(go) != 0) return false;
    pid_t child = fork();
    if (child == 0) {
        char signal = 0;
        close(go[1]);
        if (read(go[0], &signal, 1) != 1 || chdir(workingDirectory.c_str()) != 0) _exit(127);
        int null = open("/dev/null", O_RDWR);
        for (int stream = 0; stream < 3; ++stream) dup2(null, stream);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(go[0]);
    if (child > 0) prepare(static_cast<unsigned long>(child));
    const char signal = 1;
    bool released = child > 0 && write(go[1], &signal, 1) == 1;
    close(go[1]);
    if (child < 0) return false;
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return released && WIFEXITED(status) && WEXITSTATUS(status) != 127;
}
