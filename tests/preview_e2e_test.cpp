// kestrup-check FILE OPTIONS...: prints what a run with those options and -f FILE logs and writes, only.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "program_directory.h"

namespace {

constexpr char kFile[] = "site.xml";
constexpr char kDocument[] = "nVCmdLine.xml";
constexpr char kClientNotStarted[] = "Could not start client ";

// No placement configured, so both place the window for this screen; camera 9 gets a line of its own.
const std::string kSiteConfiguration =
    "<Config AllowExpansion=\"1\">\n"
    "  <System IPAddr=\"10.1.2.3\">\n"
    "    <Camera Number=\"7\"><Input Name=\"Lobby\" /></Camera>\n"
    "    <Camera Number=\"9\"><Input Device=\"d\" /></Camera>\n"
    "    <Camera Number=\"12\"><Input Number=\"3\" Device=\"Encoder-A\" /></Camera>\n"
    "  </System>\n"
    "  <System IPAddr=\"10.0.0.5\"><Camera Number=\"3\"><Input Name=\"plain\" /></Camera></System>\n"
    "  <System IPAddr=\"10.0.0.5:22610\"><Camera Number=\"3\"><Input Name=\"port\" /></Camera></System>\n"
    "</Config>\n";

TEST(PreviewEndToEnd, ThePreviewShowsWhatARunWithTheSameOptionsLogsAndWrites) {
    const struct {
        std::vector<std::string> options;
        int exitStatus;
    } cases[] = {
        {{"-c", "7", "-s", "10.1.2.3", "-d", "12252010", "-b", "10:30:00", "-e", "11:00:00"}, 0},
        {{"-c", "12", "-s", "10.1.2.3", "-d", "02152011", "-b", "08:00:00", "-e", "23:59:59"}, 0},
        {{"-c", "3", "-s", "10.0.0.5", "-p", "22610", "-d", "live", "-b", "x", "-e", "y"}, 0},
        {{"-c", "3", "-s", "10.0.0.5", "-p", "22609", "-d", "live", "-b", "x", "-e", "y"}, 0},
        {{"-c", "99", "-s", "10.1.2.3", "-d", "live", "-b", "x", "-e", "y"}, 1},
        {{"-c", "7", "-s", "10.1.2.3", "-d", "12252010", "-b", "10:30:00x", "-e", "11:00"}, 0},
        {{"-c", "7", "-s", "10.1.2.3", "-d", "live", "-b", "x", "-e", "y", "-v", "0"}, 0},
        // Anything after FILE is a request; the line shows the options as given.
        {{"-c", "7", "-s", "10.1.2.3"}, 1},
        {{"b.xml"}, 1},
        // Help ends a run before its log is opened.
        {{"-c", "7", "-s", "10.1.2.3", "-d", "live", "-b", "x", "-e", "y", "-?"}, 1},
    };
    for (const auto& c : cases) {
        const std::string options = ArgumentsText(c.options);
        ProgramDirectory directory;
        WriteFileBytes(directory.File(kFile), kSiteConfiguration);
        const std::string checker = directory.AddProgram(Checker());

        const std::string before = ListDirectory(directory.Path());
        std::vector<std::string> arguments = {kFile};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        ProgramRun preview;
        ASSERT_TRUE(RunProgramAndWait(checker, arguments, directory.Path(), preview)) << options;
        EXPECT_EQ(preview.exitStatus, c.exitStatus) << options;
        EXPECT_EQ(preview.standardError, "") << options;
        EXPECT_EQ(ListDirectory(directory.Path()), before) << options;

        // The same request as a run; -v is left out, so that it logs.
        arguments = {"-f", kFile};
        for (size_t i = 0; i < c.options.size(); ++i) {
            if (c.options[i] == "-v") {
                ++i;
            } else {
                arguments.push_back(c.options[i]);
            }
        }
        directory.Run(arguments);
        std::string expected;
        bool startedClient = false;
        if (FileExists(directory.File("Kestrup.log"))) {
            const std::string log = directory.Log();
            const std::string commandLine = directory.CommandLineText(arguments);
            const std::string header = ExpectedRecord(commandLine);
            ASSERT_EQ(log.substr(0, header.size()), header) << options;
            const std::string lines =
                ReplaceAll(WithoutCarriageReturns(log.substr(header.size())), commandLine, options);
            std::string::size_type from = 0;
            for (auto at = lines.find('\n'); at != std::string::npos; at = lines.find('\n', from)) {
                const std::string line = lines.substr(from, at - from);
                from = at + 1;
                // No client lies beside the run: its last line tells that it went on to start one.
                if (line.rfind(kClientNotStarted, 0) == 0 && from == lines.size())
                    startedClient = true;
                else
                    expected += "log: " + line + "\n";
            }
        }
        if (FileExists(directory.File(kDocument))) expected += ReadFileBytes(directory.File(kDocument));
        EXPECT_EQ(WithoutCarriageReturns(preview.standardOutput), WithoutCarriageReturns(expected))
            << options;
        EXPECT_EQ(startedClient, c.exitStatus == 0) << options;
    }
}

// A link previews as its options after its reading's line, the link as command line; refused: one line.
TEST(PreviewEndToEnd, ALinkPreviewsAsItsOptionsDo) {
    const struct {
        std::string link;
        std::vector<std::string> options;  // empty: the link is refused
        std::string refusal = "";
    } cases[] = {
        {"kestrup:?c=7&s=10.1.2.3&d=12252010&b=10:30:00&e=11:00:00",
         {"-c", "7", "-s", "10.1.2.3", "-d", "12252010", "-b", "10:30:00", "-e", "11:00:00"}},
        {"kestrup://open/?c=3&s=10.0.0.5&p=22610&d=live&b=1&e=2",
         {"-c", "3", "-s", "10.0.0.5", "-p", "22610", "-d", "live", "-b", "1", "-e", "2"}},
        {"kestrup:?c=99&s=10.1.2.3&d=live&b=1&e=2",
         {"-c", "99", "-s", "10.1.2.3", "-d", "live", "-b", "1", "-e", "2"}},
        {"kestrup:?c=7&s=10.1.2.3", {"-c", "7", "-s", "10.1.2.3"}},
        {"kestrup:?c=7&f=site.xml", {}, "key f is not a request option (c, s, p, d, b, e)"},
        // A full-width 7, which Windows' ANSI command line would make a 7.
        {"kestrup:?c=\xEF\xBC\x97&s=10.1.2.3&d=live&b=1&e=2", {}, "the link holds a character outside ASCII"},
    };
    for (const auto& c : cases) {
        ProgramDirectory directory;
        WriteFileBytes(directory.File(kFile), kSiteConfiguration);
        auto preview = [&](const std::vector<std::string>& request) {
            std::vector<std::string> arguments = {kFile};
            arguments.insert(arguments.end(), request.begin(), request.end());
            ProgramRun run;
            EXPECT_TRUE(RunProgramAndWait(Checker(), arguments, directory.Path(), run)) << c.link;
            return run;
        };
        const ProgramRun linkPreview = preview({c.link});
        EXPECT_EQ(linkPreview.standardError, "") << c.link;
        if (c.options.empty()) {
            EXPECT_EQ(linkPreview.standardOutput, WithLineEnds("log: Link refused: " + c.refusal + "\n"))
                << c.link;
            EXPECT_EQ(linkPreview.exitStatus, 1) << c.link;
            continue;
        }
        const ProgramRun optionsPreview = preview(c.options);
        std::string options = ArgumentsText(c.options);
        const std::string expected =
            ReplaceAll(WithoutCarriageReturns(optionsPreview.standardOutput), options, c.link + " ");
        options.pop_back();
        EXPECT_EQ(WithoutCarriageReturns(linkPreview.standardOutput),
                  "log: Link read as options: " + options + "\n" + expected)
            << c.link;
        EXPECT_EQ(linkPreview.exitStatus, optionsPreview.exitStatus) << c.link;
    }
}

// Both show the build's version: Kestrup's banner, kestrup-check --version, Windows' version resources.
TEST(PreviewEndToEnd, BothProgramsShowTheVersionTheBuildGivesThem) {
    ProgramDirectory directory;
    const std::string checker = directory.AddProgram(Checker());
    const struct {
        std::string program;
        std::vector<std::string> arguments;
        std::string shown;  // in the run log or on standard output
    } cases[] = {
        {directory.Program(), {}, "\nKestrup v" + BuildVersion() + " executing at: "},
        {checker, {"--version"}, "kestrup-check v" + BuildVersion() + "\n"},
    };
    for (const auto& c : cases) {
        ProgramRun run;
        ASSERT_TRUE(RunProgramAndWait(c.program, c.arguments, directory.Path(), run)) << c.program;
        const std::string log = directory.File("Kestrup.log");
        const std::string shown = run.standardOutput + (FileExists(log) ? ReadFileBytes(log) : "");
        EXPECT_NE(WithoutCarriageReturns(shown).find(c.shown), std::string::npos) << shown;
        std::string numbers = "none", text = "none";
        EXPECT_EQ(ReadFileVersion(c.program, numbers, text), WindowsBuild()) << c.program;
        if (WindowsBuild()) {
            EXPECT_EQ(numbers, BuildVersion()) << c.program;
            EXPECT_EQ(text, BuildVersion()) << c.program;
        }
    }
}

}  // namespace
