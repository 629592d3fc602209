// The launcher's start-up through the real program: help, the run log's places, the banner, and links.
#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "platform.h"
#include "program_directory.h"

namespace {

std::string ExpectedUsage(const ProgramDirectory& directory) {
    return WithLineEnds(
        "USAGE:\n"
        "    -v [FILE] Optional: specify path and name of file for log.\n"
        "       Use 1 to log to console, 0 to disable logging.\n"
        "       (defaults to log to " +
        directory.File("Kestrup.log") +
        ")\n"
        "    -f [FILE] Optional: Path and name of config XML file.\n"
        "       (defaults to KestrupConfig.xml)\n"
        "    -s IP address (or hostname) of Norvane Server on which video is stored\n"
        "    -p Optional: TCP port number of Norvane Server (defaults to 22609)\n"
        "    -c Camera number (from config XML) of desired video\n"
        "    -d Search date (MMDDYYYY)\n"
        "    -b Search begin time (HH:MM:SS)\n"
        "    -e Search end time (HH:MM:SS)\n");
}

// No whole request: after the banner the run ends at the first required option that is missing.
std::string StartUpRecord(const ProgramDirectory& directory, const std::vector<std::string>& arguments) {
    auto has = [&](const char* option) {
        return std::find(arguments.begin(), arguments.end(), option) != arguments.end();
    };
    const std::string commandLine = directory.CommandLineText(arguments);
    const char* missing = !has("-c")   ? "Camera number not specified on command line: "
                          : !has("-s") ? "Search system IP addr not specified on command line: "
                                       : "Search date not specified on command line: ";
    return ExpectedRecord(commandLine, missing + commandLine + "\n");
}

TEST(LauncherEndToEnd, HelpPrintsTheUsageTextAndTouchesNoLog) {
    const std::vector<std::vector<std::string>> requests = {
        {"-?"},
        {"/?"},
        {"-help"},
        {"-HELP"},
        {"/help"},
        {"-c", "5", "-s", "host", "-?"},  // help comes before every other option
        {"-v", "named.log", "-help"},
        {"-v", "1", "-?"},
    };
    for (const auto& arguments : requests) {
        // Natively "/" marks no option: /? and /help are plain arguments there.
        const bool help = SlashMarksOptions() || arguments.front().front() != '/';
        ProgramDirectory directory;
        ProgramRun run = directory.Run(arguments);
        const std::string what = directory.CommandLineText(arguments);
        EXPECT_EQ(run.exitStatus, 0) << what;
        EXPECT_EQ(run.standardOutput, help ? ExpectedUsage(directory) : "") << what;
        EXPECT_EQ(run.standardError, "") << what;
        EXPECT_EQ(FileExists(directory.File("Kestrup.log")), !help) << what;
        EXPECT_FALSE(FileExists(directory.File("named.log"))) << what;
    }
}

TEST(LauncherEndToEnd, HelpInsideAWordIsNoHelpRequest) {
    ProgramDirectory directory;
    const std::vector<std::string> arguments = {"-s", "cam-?", "-f", "x/help"};
    ProgramRun run = directory.Run(arguments);
    EXPECT_EQ(run.standardOutput, "");
    EXPECT_EQ(directory.Log(), StartUpRecord(directory, arguments));
}

TEST(LauncherEndToEnd, TheRunLogGoesWhereTheVOptionSays) {
    const bool slash = SlashMarksOptions();
    enum class Log { DefaultFile, NamedFile, StandardError, None };
    struct Case {
        // "<dir>": the program directory; "<full>": a file refusing every write (Z: is the host's root).
        std::vector<std::string> arguments;
        Log log;
        std::string namedFile;  // for NamedFile, inside the program directory
    } cases[] = {
        {{}, Log::DefaultFile, ""},
        {{"-c", "5"}, Log::DefaultFile, ""},
        {{"-v", "0"}, Log::None, ""},
        {{"-V", "0", "-c", "5"}, Log::None, ""},
        {{"-v", "1"}, Log::StandardError, ""},
        {{"/v", "1"}, slash ? Log::StandardError : Log::DefaultFile, ""},
        // Natively an absolute path, no -v option.
        {{"-f", "/var/sites/site.xml"}, slash ? Log::StandardError : Log::DefaultFile, ""},
        {{"-v", "00"}, Log::NamedFile, "00"},  // "0" is compared as an exact text
        {{"-v", "<dir>/named.log"}, Log::NamedFile, "named.log"},
        {{"-vattached.log"}, Log::NamedFile, "attached.log"},
        {{"-v", "<dir>/missing/run.log"}, Log::StandardError, ""},
        {{"-v", "<dir>"}, Log::StandardError, ""},   // a directory cannot be a log file
        {{"-v", "<full>"}, Log::StandardError, ""},  // opened, but the record is refused
    };
    for (auto& c : cases) {
        ProgramDirectory directory;
        for (auto& argument : c.arguments) {
            auto at = argument.find("<dir>/");
            if (at != std::string::npos) argument = directory.File(argument.substr(at + 6));
            if (argument == "<dir>") argument = directory.Path();
            if (argument == "<full>") argument = WindowsBuild() ? "Z:\\dev\\full" : "/dev/full";
        }
        const std::string commandLine = directory.CommandLineText(c.arguments);
        ProgramRun run = directory.Run(c.arguments);
        EXPECT_EQ(run.exitStatus, 0) << commandLine;
        EXPECT_EQ(run.standardOutput, "") << commandLine;

        const std::string record = StartUpRecord(directory, c.arguments);
        EXPECT_EQ(MaskedTimes(run.standardError), c.log == Log::StandardError ? record : "") << commandLine;

        const bool defaultLog = c.log == Log::DefaultFile;
        EXPECT_EQ(FileExists(directory.File("Kestrup.log")), defaultLog) << commandLine;
        if (defaultLog) {
            EXPECT_EQ(directory.Log(), record) << commandLine;
        }
        if (c.log == Log::NamedFile) {
            EXPECT_EQ(MaskedTimes(ReadFileBytes(directory.File(c.namedFile))), record) << commandLine;
        }
        if (c.log == Log::None || c.log == Log::StandardError) {
            std::string expectedFiles = ListDirectory(directory.Path());
            EXPECT_EQ(expectedFiles.find('\n'), expectedFiles.size() - 1)
                << "only the program itself: " << expectedFiles;
        }
    }
}

TEST(LauncherEndToEnd, RunsAppendTheirRecordsToOneLog) {
    ProgramDirectory directory;
    const std::vector<std::string> first = {"-c", "1"};
    const std::vector<std::string> second = {"-c", "2", "-s", "host"};
    directory.Run(first);
    directory.Run(second);
    EXPECT_EQ(directory.Log(), StartUpRecord(directory, first) + StartUpRecord(directory, second));
}

// Argument 0 is not searched for options: a directory named like an option does not move the log.
TEST(LauncherEndToEnd, TheProgramPathIsNotReadAsOptions) {
    const std::string directories[] = {"site -v1", "cam-viewer", "x -help", "data -d1"};
    for (const auto& name : directories) {
        ProgramDirectory directory(name);
        ProgramRun run = directory.Run({});
        EXPECT_EQ(run.standardOutput, "") << name;
        EXPECT_EQ(run.standardError, "") << name;
        EXPECT_EQ(directory.Log(), StartUpRecord(directory, {})) << name;
    }
}

// Placement is configured, so the documents do not depend on the screen.
constexpr char kLinkSite[] =
    "<Config Width=\"640\" Height=\"480\" Left=\"10\" Top=\"20\">\n"
    "  <System IPAddr=\"10.1.2.3\"><Camera Number=\"7\"><Input Name=\"Lobby\" /></Camera></System>\n"
    "  <System IPAddr=\"cam-east:8080\"><Camera Number=\"3\"><Input Name=\"Gate\" /></Camera></System>\n"
    "</Config>\n";
constexpr char kDocument[] = "nVCmdLine.xml";
constexpr char kClientRecord[] = "norvclient-started.txt";

// The stand-in client's complete record; empty when the run wrote no document, so started no client.
std::string CompleteClientRecord(const ProgramDirectory& directory) {
    return FileExists(directory.File(kDocument)) ? directory.ClientRecords(1) : "";
}

TEST(LauncherEndToEnd, ALinkRunsTheRequestItsOptionsDo) {
    const struct {
        std::string link;
        std::vector<std::string> options;
        std::string logged = "";  // the link as the command line shows it, when not as given
    } cases[] = {
        {"kestrup:?c=7&s=10.1.2.3&d=12252010&b=10:30:00&e=11:00:00",
         {"-c", "7", "-s", "10.1.2.3", "-d", "12252010", "-b", "10:30:00", "-e", "11:00:00"}},
        {"KESTRUP://open/?e=2&b=1&d=live&p=8080&s=cam-east&%63=3",
         {"-c", "3", "-s", "cam-east", "-p", "8080", "-d", "live", "-b", "1", "-e", "2"},
         "KESTRUP://open/?e=2&b=1&d=live&p=8080&s=cam-east&%2563=3"},
        // A missing option ends the run with its line, which shows the link.
        {"kestrup:/?c=7&s=10.1.2.3", {"-c", "7", "-s", "10.1.2.3"}},
    };
    for (const auto& c : cases) {
        ProgramDirectory directory;
        directory.AddStandInClient();
        WriteFileBytes(directory.File("KestrupConfig.xml"), kLinkSite);

        const std::string optionsLine = directory.CommandLineText(c.options);
        directory.Run(c.options);
        const std::string optionsLog = directory.Log();
        const std::string document = ReadFileBytes(directory.File(kDocument));
        const std::string clientRecord = CompleteClientRecord(directory);
        std::string options = ArgumentsText(c.options);
        options.pop_back();

        // Kestrup given the link, and on Windows the link program, which the scheme opens: the same run.
        std::vector<std::string> programs = {directory.Program()};
        if (WindowsBuild()) programs.push_back(directory.AddProgram(LinkProgram()));
        for (const auto& program : programs) {
            for (const char* made : {kDocument, kClientRecord, "Kestrup.log"}) {
                std::filesystem::remove(PathOf(directory.File(made)));
            }
            const std::string linkLine =
                directory.CommandLineText({c.logged.empty() ? c.link : c.logged}, program);
            ProgramRun run = directory.Run({c.link}, program);
            EXPECT_EQ(run.exitStatus, 0) << program << ' ' << c.link;
            EXPECT_EQ(run.standardOutput + run.standardError, "") << program << ' ' << c.link;
            EXPECT_EQ(ReadFileBytes(directory.File(kDocument)), document) << program << ' ' << c.link;
            EXPECT_EQ(CompleteClientRecord(directory), clientRecord) << program << ' ' << c.link;
            // The same lines after the banner, the link's reading first.
            const std::string lines =
                ReplaceAll(WithoutCarriageReturns(optionsLog.substr(ExpectedRecord(optionsLine).size())),
                           optionsLine, linkLine);
            EXPECT_EQ(directory.Log(),
                      ExpectedRecord(linkLine, "Link read as options: " + options + "\n" + lines))
                << program << ' ' << c.link;
        }
    }
}

// A refused link writes and starts nothing, prints no help, logs one line; the link program takes only links.
TEST(LauncherEndToEnd, ARefusedLinkLogsWhyAndDoesNothingElse) {
    const std::string request = "kestrup:?c=7&s=10.1.2.3&d=live&b=1&e=2";
    const std::string only = "a link must be the only argument";
    const std::string unsafe = " holds a space, quote or control character";
    const std::string notAnOption = " is not a request option (c, s, p, d, b, e)";
    const struct {
        std::vector<std::string> arguments;
        std::string reason;
        std::vector<std::string> logged = {};  // as the command line shows them, when not as given
        bool linkProgram = false;
        // clang-format off
    } cases[] = {
        {{}, only, {}, true},
        {{"-?"}, "the link does not begin with kestrup:?, kestrup:/? or kestrup://open/?", {}, true},
        {{"-c", "7", "-s", "10.1.2.3", "-d", "live", "-b", "1", "-e", "2"}, only, {}, true},
        {{request + "&f=other.xml"}, "key f" + notAnOption},
        {{request + "&v=1"}, "key v" + notAnOption},
        {{request + "&c=8"}, "key c is given twice"},
        {{"kestrup:?s=10.1.2.3%20-f%20other.xml&c=7"}, "key s" + unsafe,
         {"kestrup:?s=10.1.2.3%2520-f%2520other.xml&c=7"}},
        {{"kestrup:?c=7&s=%2Dv1"}, "key s starts with '-'", {"kestrup:?c=7&s=%252Dv1"}},
        {{"kestrup:?/?"}, "key /?" + notAnOption},
        {{request + "\nForged line"}, "key e" + unsafe, {request + "%0AForged%20line"}},
        {{request + std::string(2048, 'a')}, "the link is longer than 2048 characters"},
        {{request, "-f", "other.xml"}, only},
        {{"-v", "1", request}, only},
        {{request, "-?"}, only},
        {{request, "/help"}, only},
        // Beside a link every argument is escaped, and so is "%": a line end and the text %0A read apart.
        {{request, "x\nLink read as options: -c 7 -s evil\x1B\x07\t\xC3\xA9"}, only,
         {request, "x%0ALink%20read%20as%20options:%20-c%207%20-s%20evil%1B%07%09%C3%A9"}},
        // Non-ASCII (a full-width 7; full-width quotes, real ones in Windows' ANSI) refuses, shown as UTF-8.
        {{"kestrup:?c=\xEF\xBC\x97&s=10.1.2.3&d=live&b=0&e=0\xEF\xBC\x82 \xEF\xBC\x82-f"},
         "the link holds a character outside ASCII",
         {"kestrup:?c=%EF%BC%97&s=10.1.2.3&d=live&b=0&e=0%EF%BC%82%20%EF%BC%82-f"}},
    };
    // clang-format on
    for (const auto& c : cases) {
        if (c.linkProgram && !WindowsBuild()) continue;  // there is none natively
        ProgramDirectory directory;
        directory.AddStandInClient();
        WriteFileBytes(directory.File("KestrupConfig.xml"), kLinkSite);
        const std::string program = c.linkProgram ? directory.AddProgram(LinkProgram()) : "";
        const std::string before = ListDirectory(directory.Path());
        const std::string commandLine =
            directory.CommandLineText(c.logged.empty() ? c.arguments : c.logged, program);
        ProgramRun run = directory.Run(c.arguments, program);
        EXPECT_EQ(run.exitStatus, 0) << commandLine;
        EXPECT_EQ(run.standardOutput + run.standardError, "") << commandLine;
        EXPECT_EQ(directory.Log(), ExpectedRecord(commandLine, "Link refused: " + c.reason + "\n"))
            << commandLine;
        std::filesystem::remove(directory.File("Kestrup.log"));
        EXPECT_EQ(ListDirectory(directory.Path()), before) << commandLine;
    }
}

// Windows' ANSI makes a full-width "k" a "k": taken for a link, refused as received; natively an argument.
TEST(LauncherEndToEnd, ALookalikeOfALinkIsNeverAccepted) {
    const std::string query = "estrup:?c=7&s=10.1.2.3&d=live&b=0&e=0";
    ProgramDirectory directory;
    WriteFileBytes(directory.File("KestrupConfig.xml"), kLinkSite);
    const std::vector<std::string> arguments = {"\xEF\xBD\x8B" + query};
    directory.Run(arguments);
    EXPECT_EQ(directory.Log(),
              WindowsBuild() ? ExpectedRecord(directory.CommandLineText({"%EF%BD%8B" + query}),
                                              "Link refused: the link holds a character outside ASCII\n")
                             : StartUpRecord(directory, arguments));
}

}  // namespace
