// A stand-in for the video client, for the demo and the end-to-end tests. It
// records how it was started and the client init document it was given (or
// that it found none), in norvclient-started.txt beside itself, one record per
// start. It writes a line to its standard output and error, which a caller of
// the launcher must never see; with norvclient-linger beside it, it lives a few
// seconds before it writes its record, as a real client lives on after the
// launcher has ended. With norvclient-wait beside it, holding a number of
// milliseconds, it waits that long before it reads, as a real client starts.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform.h"

namespace {

constexpr char kRecordName[] = "norvclient-started.txt";
constexpr char kDocumentOption[] = "-F";
constexpr char kLingerMarkerName[] = "norvclient-linger";
constexpr char kWaitMarkerName[] = "norvclient-wait";
constexpr std::chrono::seconds kLingerTime{3};

// A document that is not there at all is recorded as missing at once: the
// launcher replaces it in one step, so a client never finds the name empty. On
// Windows a file that is being replaced may refuse the open for a moment, so
// that is tried again for up to a second, as a real client would have to.
std::string ReadFile(const std::string& path) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        errno = 0;
        if (std::FILE* in = std::fopen(path.c_str(), "rb")) {
            std::string text;
            char buffer[4096];
            for (std::size_t length; (length = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
                text.append(buffer, length);
            std::fclose(in);
            return text;
        }
        if (errno == ENOENT) return "(missing)\n";
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return "(cannot be read)\n";
}

}  // namespace

int main(int argc, char* argv[]) {
    std::string ownPath, unspelt;
    if (!GetRunningProgramPath(argc > 0 ? argv[0] : nullptr, ownPath, unspelt)) return 1;
    const std::string ownDirectory = ownPath.substr(0, ownPath.rfind(PathSeparator()));
    std::fputs("stand-in client: standard output\n", stdout);
    std::fputs("stand-in client: standard error\n", stderr);
    std::fflush(stdout);

    int waitMilliseconds = 0;
    std::ifstream(ownDirectory + PathSeparator() + kWaitMarkerName) >> waitMilliseconds;
    std::this_thread::sleep_for(std::chrono::milliseconds(waitMilliseconds));

    std::string record = "started\n";
    std::error_code error;
    record += "working directory: " + std::filesystem::current_path(error).string() + "\n";
    for (int i = 1; i < argc; ++i) record += "argument: " + std::string(argv[i]) + "\n";
    // The document is named relative to the working directory, as the real
    // client reads it.
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument.rfind(kDocumentOption, 0) == 0) {
            std::string document = ReadFile(argument.substr(sizeof kDocumentOption - 1));
            // Kept with LF line ends, so that records read alike on every build.
            std::string withLfLineEnds;
            for (char c : document) {
                if (c != '\r') withLfLineEnds += c;
            }
            record += "document:\n" + withLfLineEnds;
        }
    }
    record += "end\n";

    if (std::filesystem::exists(ownDirectory + PathSeparator() + kLingerMarkerName, error)) {
        std::this_thread::sleep_for(kLingerTime);
    }

    AppendFilePointer file = OpenAppendFile(ownDirectory + PathSeparator() + kRecordName);
    return file && AppendToFile(*file, record) ? 0 : 1;
}
