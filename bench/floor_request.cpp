// The least a request can cost: read the site file beside this program into a
// TinyXML document with the stream extraction, as the program must, then write
// the client init document (its text fixed at build time, in
// floor_document.inc) beside it and start the client beside it the same way
// the program does, without waiting.
#include <fcntl.h>
#include <spawn.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

#include <tinyxml.h>

extern char** environ;

namespace {

constexpr char kDocument[] =
#include "floor_document.inc"
    ;

}  // namespace

int main(int, char* argv[]) {
    const std::string self = argv[0];
    const std::string directory = self.substr(0, self.rfind('/'));
    {
        std::ifstream in(directory + "/KestrupConfig.xml");
        if (!in) return 1;
        TiXmlDocument site;
        in >> site;
        if (site.Error()) return 1;
    }

    std::FILE* file = std::fopen((directory + "/nVCmdLine.xml").c_str(), "w");
    if (file == nullptr) return 1;
    std::fputs(kDocument, file);
    if (std::fclose(file) != 0) return 1;

    std::string client = directory + "/norvclient.exe";
    std::string argument = "-FnVCmdLine.xml";
    char* arguments[] = {client.data(), argument.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int stream = 0; stream < 3; ++stream) {
        posix_spawn_file_actions_addopen(&actions, stream, "/dev/null", stream == 0 ? O_RDONLY : O_WRONLY, 0);
    }
    posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    pid_t child = 0;
    int started = posix_spawn(&child, client.c_str(), &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    return started == 0 ? 0 : 1;
}
