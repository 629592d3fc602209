// kestrup-check through the built program: report and exit status for site files the tests write.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "program_directory.h"
#include "test_text.h"

namespace {

constexpr char kFile[] = "site.xml";
constexpr char kDefaultWindow[] = "window: Width=392 Height=377 Left=-1 Top=-1 AllowExpansion=0\n";

struct CheckCase {
    std::string text;
    std::string report;  // '\n' for the platform's line end
    int exitStatus;
};

template <size_t N>
void ExpectChecks(const CheckCase (&cases)[N]) {
    for (const auto& c : cases) {
        const std::string shown = c.text.substr(0, 120);
        ProgramDirectory directory;
        WriteFileBytes(directory.File(kFile), c.text);
        ProgramRun run = directory.Run({kFile});
        EXPECT_EQ(run.standardOutput, WithLineEnds(c.report)) << shown;
        EXPECT_EQ(run.exitStatus, c.exitStatus) << shown;
        EXPECT_EQ(run.standardError, "") << shown;
        EXPECT_FALSE(FileExists(directory.File("Kestrup.log"))) << shown;
    }
}

TEST(CheckerEndToEnd, ACleanFileListsItsCamerasAndWindowAndExitsZero) {
    const CheckCase cases[] = {
        {"<?xml version=\"1.0\" ?>\n"
         "<Config Width=\"640\" Height=\"480\" Left=\"10\" Top=\"20\">\n"
         "  <System IPAddr=\"10.1.2.3\" Vendor=\"Norvane\">\n"
         "    <Camera Number=\"7\" Tag=\"lobby\"><Input Name=\"Lobby\" /></Camera>\n"
         "    <Camera Number=\"12\"><Input Number=\"3\" Device=\"Encoder-A\" /></Camera>\n"
         "  </System>\n"
         "  <System IPAddr=\"10.0.0.5\"><Camera Number=\"-3\"><Input Name=\"a\" Number=\"0x1\" "
         "/></Camera></System>\n"
         "</Config>\n",
         "camera 10.0.0.5:-3: Name=\"a\" Number=\"0x1\"\n"
         "camera 10.1.2.3:12: Number=\"3\" Device=\"Encoder-A\"\n"
         "camera 10.1.2.3:7: Name=\"Lobby\"\n"
         "window: Width=640 Height=480 Left=10 Top=20 AllowExpansion=0\n",
         0},
        // AllowExpansion adds room for its controls unless Height is given.
        {"<Config AllowExpansion=\"1\"><System IPAddr=\"h\"><Camera Number=\"1\"><Input Name=\"n\"/>"
         "</Camera></System></Config>",
         "camera h:1: Name=\"n\"\nwindow: Width=392 Height=425 Left=-1 Top=-1 AllowExpansion=1\n", 0},
    };
    ExpectChecks(cases);
}

TEST(CheckerEndToEnd, EachElementPassedOverOrReplacedGetsAWarningWithItsLine) {
    const CheckCase cases[] = {
        {"<?xml version=\"1.0\" ?>\n"
         "<!-- a comment\n"
         "     over two lines -->\n"
         "<Config>\n"
         "  <System>\n"
         "    <Camera Number=\"1\"><Input Name=\"a\" /></Camera>\n"
         "    <Camera Number=\"2\"><Input Name=\"b\" /></Camera>\n"
         "  </System>\n"
         "  <System IPAddr=\"10.1.2.3\">\n"
         "    <Camera Number=\"seven\"><Input Name=\"a\" /></Camera>\n"
         "    <Camera><Input Name=\"a\" /></Camera>\n"
         "    <Camera Number=\"8\" />\n"
         "    <Camera Number=\"9\"><Input Device=\"d\" /></Camera>\n"
         "    <Camera Number=\"7\"><Input Name=\"first\" /></Camera>\n"
         "  </System>\n"
         "  <System IPAddr=\"10.1.2.3\">\n"
         "\n"
         "    <Camera Number=\"7\"><Input Name=\"second\" /></Camera>\n"
         "  </System>\n"
         "  <System><Camera Number=\"1\" /></System>\n"
         "</Config>\n",
         "site.xml:5: warning: System without IPAddr passed over, with its 2 cameras\n"
         "site.xml:10: warning: Camera without an integer Number passed over\n"
         "site.xml:11: warning: Camera without an integer Number passed over\n"
         "site.xml:12: warning: Camera 10.1.2.3:8 without Input passed over\n"
         "site.xml:13: warning: Camera 10.1.2.3:9: Input has neither Name nor Number; passed over\n"
         "site.xml:18: warning: Camera 10.1.2.3:7 replaces the camera at line 14\n"
         "site.xml:20: warning: System without IPAddr passed over, with its 1 camera\n"
         "camera 10.1.2.3:7: Name=\"second\"\n" +
             std::string(kDefaultWindow),
         1},
        // Lines as the file has them, after a byte that is not UTF-8.
        {"<?xml version=\"1.0\" ?>\n"
         "<!-- caf\xE9\n"
         "-->\n"
         "<Config>\n"
         "  <System IPAddr=\"h\">\n"
         "    <Camera Number=\"1\" />\n"
         "    <Camera Number=\"2\"><Input Name=\"a\" /></Camera>\n"
         "    <Camera Number=\"2\"><Input Name=\"b\" /></Camera>\n"
         "  </System>\n"
         "</Config>\n",
         "site.xml:6: warning: Camera h:1 without Input passed over\n"
         "site.xml:8: warning: Camera h:2 replaces the camera at line 7\n"
         "camera h:2: Name=\"b\"\n" +
             std::string(kDefaultWindow),
         1},
        // Nothing stored: a run would refuse the file.
        {"<Config Width=\"500\"><System IPAddr=\"h\"><Camera Number=\"1\"/></System></Config>",
         "site.xml:1: warning: Camera h:1 without Input passed over\n"
         "site.xml: warning: no camera stored; a run would stop here\n"
         "window: Width=500 Height=377 Left=-1 Top=-1 AllowExpansion=0\n",
         1},
        {"<Config />",
         "site.xml: warning: no camera stored; a run would stop here\n" + std::string(kDefaultWindow), 1},
        // What a run passes over without a word of its own.
        {"<Config Widht=\"800\" Width=\"640px\" Top=\"99999999999\" Left=\"x\">\n"
         "  <Sytem IPAddr=\"10.9.9.9\"/>\n"
         "  <System IPAddr=\"10.1.2.3 \">\n"
         "    <camera Number=\"1\"/>\n"
         "    <Cameras><Camera Number=\"2\"/></Cameras>\n"
         "    <Camera Number=\"2a\"><Input name=\"x\" Name=\" Lobby\"/><Input Name=\"b\"/><PTZ/></Camera>\n"
         "  </System>\n"
         "  <System IPAddr=\"10.20.0.9:22609\"><Camera Number=\"1\"><Input "
         "Number=\"3\t\"/></Camera></System>\n"
         "</Config>\n",
         "site.xml:1: warning: Widht attribute passed over; did you mean Width?\n"
         "site.xml:1: warning: Width=\"640px\" is read as 640\n"
         "site.xml:1: warning: Left=\"x\" is not a number; passed over\n"
         "site.xml:1: warning: Top=\"99999999999\" is read as 2147483647\n"
         "site.xml:2: warning: Sytem element passed over; did you mean System?\n"
         "site.xml:3: warning: IPAddr=\"10.1.2.3 \" has white space at an end, which is kept\n"
         "site.xml:4: warning: camera element passed over; did you mean Camera?\n"
         "site.xml:5: warning: Cameras element passed over; did you mean Camera?\n"
         "site.xml:6: warning: Number=\"2a\" is read as 2\n"
         "site.xml:6: warning: name attribute passed over; did you mean Name?\n"
         "site.xml:6: warning: Name=\" Lobby\" has white space at an end, which is kept\n"
         "site.xml:6: warning: second Input passed over; only the first counts\n"
         "site.xml:6: warning: PTZ element passed over\n"
         "site.xml:8: warning: IPAddr=\"10.20.0.9:22609\" holds the default port, which a request leaves out "
         "of its key; write IPAddr=\"10.20.0.9\"\n"
         "site.xml:8: warning: Number=\"3\t\" has white space at an end, which is kept\n"
         "camera 10.1.2.3 :2: Name=\" Lobby\"\n"
         "camera 10.20.0.9:22609:1: Number=\"3\t\"\n"
         "window: Width=640 Height=377 Left=-1 Top=2147483647 AllowExpansion=0\n",
         1},
    };
    ExpectChecks(cases);
}

TEST(CheckerEndToEnd, AFileThatCannotBeReadIsAnErrorWithTheReadersReason) {
    const std::string xmlError = " error: Cmd line configuration document XML error: Error ";
    const std::string nullCharacter = "site.xml:" + xmlError + "null character in document.\n";
    const CheckCase cases[] = {
        {"<Config>\n  <System IPAddr=\"h\">\n</Config>", "site.xml:3:1:" + xmlError + "reading end tag.\n",
         2},
        {"", "site.xml:" + xmlError + "document empty.\n", 2},
        {std::string("\xFF\xFE<\0C\0/\0>\0", 10),
         nullCharacter + "site.xml: note: the file is UTF-16; save it as UTF-8 or ANSI\n", 2},
        {std::string("\0\0\0<\0\0\0C", 8),
         nullCharacter + "site.xml: note: the file is UTF-32; save it as UTF-8 or ANSI\n", 2},
        {"<Other />", "site.xml: error: Config XML element not found in file site.xml\n", 2},
        {"<Config>" + Repeated("<a>", 300), "site.xml:" + xmlError + "document nested too deeply.\n", 2},
    };
    ExpectChecks(cases);
}

// Help and version: standard output, status 0; another first argument starting with "-": usage error, 2.
TEST(CheckerEndToEnd, ItsOwnCommandLineComesBeforeAnyFile) {
    const std::string usage = "usage: kestrup-check FILE [KESTRUP-OPTIONS... | LINK]\n";
    const bool windows = WindowsBuild();
    const std::string help =
        usage + "       kestrup-check -h | --help" + (windows ? " | /?" : "") + " | --version\n";
    const std::string here = windows ? ".\\" : "./";
    const auto notFirst = [&](const std::string& option) {
        return "kestrup-check: FILE comes first, not " + option + " (a file named " + option +
               " is given as " + here + option + ")\n" + usage;
    };
    const struct {
        std::vector<std::string> arguments;
        std::string standardOutput;
        std::string standardError;
        int exitStatus;
    } cases[] = {
        {{"absent.xml"}, "absent.xml: error: Could not open file absent.xml\n", "", 2},
        {{"."}, ".: error: Could not open file .\n", "", 2},
        {{}, "", usage, 2},
        {{"-h"}, help, "", 0},
        {{"--help", "-c", "7"}, help, "", 0},
        {{"/?"}, windows ? help : "/?: error: Could not open file /?\n", "", windows ? 0 : 2},
        {{"--version"}, "kestrup-check v" + BuildVersion() + "\n", "", 0},
        {{"-c", "7", "-s", "10.1.2.3", "-d", "live", "-b", "x", "-e", "y"}, "", notFirst("-c"), 2},
        {{here + "-site.xml"}, "camera h:1: Name=\"n\"\n" + std::string(kDefaultWindow), "", 0},
        {{"-help"}, "", notFirst("-help"), 2},
    };
    for (const auto& c : cases) {
        ProgramDirectory directory;
        WriteFileBytes(directory.File("-site.xml"),
                       "<Config><System IPAddr=\"h\"><Camera Number=\"1\"><Input Name=\"n\"/></Camera>"
                       "</System></Config>");
        ProgramRun run = directory.Run(c.arguments);
        const std::string shown = ArgumentsText(c.arguments);
        EXPECT_EQ(run.standardOutput, WithLineEnds(c.standardOutput)) << shown;
        EXPECT_EQ(run.standardError, WithLineEnds(c.standardError)) << shown;
        EXPECT_EQ(run.exitStatus, c.exitStatus) << shown;
    }
}

}  // namespace
