#include "launcher.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "cmdline_options.h"
#include "platform.h"
#include "request_link.h"
#include "request_run.h"
#include "run_context.h"
#include "run_log.h"

namespace {

constexpr char kProgramName[] = "Kestrup";
// The build gives the version, so the banner and the version resource agree.
constexpr char kVersion[] = KESTRUP_VERSION;
constexpr char kDefaultLogName[] = "Kestrup.log";

constexpr char kLogOff[] = "0";
constexpr char kLogToStandardError[] = "1";

constexpr char kUnspeltDirectory[] =
    "Kestrup does not run from %s: the system's ANSI code page cannot spell that directory's name, "
    "and it has no short name in plain ASCII\n";

constexpr char kBannerFormat[] = "\n%s v%s executing at: %s\n";
constexpr char kCommandLineFormat[] = "Command Line: %s\n";

void PrintUsage(const std::string& defaultLogPath) {
    std::printf("USAGE:\n");
    std::printf("    -v [FILE] Optional: specify path and name of file for log.\n");
    std::printf("       Use 1 to log to console, 0 to disable logging.\n");
    std::printf("       (defaults to log to %s)\n", defaultLogPath.c_str());
    std::printf("    -f [FILE] Optional: Path and name of config XML file.\n");
    std::printf("       (defaults to %s)\n", kDefaultConfigName);
    std::printf("    -s IP address (or hostname) of Norvane Server on which video is stored\n");
    std::printf("    -p Optional: TCP port number of Norvane Server (defaults to %d)\n", kDefaultPort);
    std::printf("    -c Camera number (from config XML) of desired video\n");
    std::printf("    -d Search date (MMDDYYYY)\n");
    std::printf("    -b Search begin time (HH:MM:SS)\n");
    std::printf("    -e Search end time (HH:MM:SS)\n");
}

// What stands before the last separator of the program's path; a bare name
// means the current directory. False when the path cannot be spelt: the run
// refuses, with its line on standard error, before it reads or writes anything.
bool FindProgramDirectory(const char* argumentZero, std::string& directory) {
    std::string path, unspelt;
    if (!GetRunningProgramPath(argumentZero, path, unspelt)) {
        SetRunLogToStandardError();
        WriteLogLine(kUnspeltDirectory,
                     LinkAsLogged(unspelt.substr(0, unspelt.rfind(PathSeparator()))).c_str());
        CloseRunLog();
        return false;
    }
    auto end = path.rfind(PathSeparator());
    directory = end == std::string::npos ? "." : path.substr(0, end);
    return true;
}

// A file that cannot be opened leaves the log on standard error, unreported.
void OpenRunLog(const std::string& optionText, const std::string& defaultLogPath) {
    SetRunLogOff();
    std::string destination;
    if (!GetCmdLineOption(optionText, "v", destination)) {
        destination = defaultLogPath;
    } else if (destination == kLogOff) {
        return;
    } else if (destination == kLogToStandardError) {
        SetRunLogToStandardError();
        return;
    }
    if (!SetRunLogToFile(destination)) SetRunLogToStandardError();
}

// linksOnly: the link program's pass, whose arguments are read as a link whatever they hold.
void RunPass(int argc, char* argv[], bool linksOnly) {
    RunContext context;
    if (!FindProgramDirectory(argc > 0 ? argv[0] : nullptr, context.programDirectory)) return;
    // Argument 0 is not searched: a program path such as C:\Cam-Viewer\Kestrup.exe
    // must not be read as the -v option.
    bool linkGiven = linksOnly;
    const std::vector<std::string> arguments = RequestArguments(argc, argv, 1, linkGiven);
    context.optionText = JoinArguments(arguments);
    // Argument 0 is the system's, not a page's: it is shown as it is.
    std::vector<std::string> logged = ArgumentsAsLogged(arguments, linkGiven);
    if (argc > 0) logged.insert(logged.begin(), argv[0]);
    context.commandLineText = JoinArguments(logged);

    // A link comes from a web page: it never asks for help and never moves the
    // log, so no option text is read for either.
    const std::string startUpOptions = linkGiven ? "" : context.optionText;

    const std::string defaultLogPath = ProgramFilePath(context, kDefaultLogName);
    if (HelpRequested(startUpOptions)) {
        PrintUsage(defaultLogPath);
        std::exit(0);
    }

    OpenRunLog(startUpOptions, defaultLogPath);
    WriteLogLine(kBannerFormat, kProgramName, kVersion, LocalTimeOfDayText().c_str());
    WriteLogLine(kCommandLineFormat, context.commandLineText.c_str());
    if (ReadLinkArguments(arguments, context.link, linkGiven)) RunRequest(context);
    CloseRunLog();
}

}  // namespace

// On Windows argv is ANSI, where lookalikes have become ASCII: a link in either
// view makes a link run, read as received.
std::vector<std::string> RequestArguments(int argc, char* argv[], int first, bool& linkGiven) {
    const int start = std::min(first, argc);
    const std::vector<std::string> arguments(argv + start, argv + argc);
    std::vector<std::string> received = ArgumentsAsReceived(argc, argv);
    received.erase(received.begin(), received.begin() + std::min<std::size_t>(start, received.size()));
    linkGiven = linkGiven || HoldsRequestLink(arguments) || HoldsRequestLink(received);
    return linkGiven ? received : arguments;
}

std::string JoinArguments(const std::vector<std::string>& arguments) {
    std::string text;
    for (const auto& argument : arguments) text += argument + ' ';
    return text;
}

bool HelpRequested(const std::string& optionText) {
    std::string value;
    return GetCmdLineOption(optionText, "?", value) || GetCmdLineOption(optionText, "help", value);
}

void RunLauncher(int argc, char* argv[]) { RunPass(argc, argv, false); }

void RunLinkLauncher(int argc, char* argv[]) {
    SendStandardErrorToSystemLog();
    AllowNextProgramToTheFront();
    RunPass(argc, argv, true);
}

std::string ProgramVersionText() { return kVersion; }
