#include "site_config_reader.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <vector>

#include <gtest/gtest.h>

#include "camera_directory.h"
#include "run_log.h"
#include "scratch_directory.h"
#include "camera_equality.h"
#include "test_pipe.h"
#include "test_text.h"

namespace {

namespace fs = std::filesystem;

std::string Fixture(const std::string& name) { return KESTRUP_SITECONFIG_TESTDATA + name; }

struct ReadOutcome {
    bool result = false;
    std::string log;
    CameraDirectory directory;
    ClientWindowSettings settings;
};

// One read on a fresh directory and default settings, the run log in a scratch file (log on) or off.
ReadOutcome Read(const std::string& path, bool logOn = true, SiteConfigObserver* observer = nullptr) {
    TheCameraDirectory().clear();
    TheClientWindowSettings() = ClientWindowSettings{};
    ScratchDirectory scratch;
    std::string logPath = scratch.File("run.log");
    if (logOn) {
        EXPECT_TRUE(SetRunLogToFile(logPath));
    } else {
        SetRunLogOff();
    }
    const bool result = ReadSiteConfiguration(path, observer);
    CloseRunLog();
    return {result, WithoutCarriageReturns(ReadFileBytes(logPath)), TheCameraDirectory(),
            TheClientWindowSettings()};
}

// On a thread of its own: a read that blocks fails the test and ends the program instead of hanging.
ReadOutcome ReadWithoutWaitingForever(const std::string& path) {
    auto reading = std::async(std::launch::async, [&path] { return Read(path); });
    if (reading.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        ADD_FAILURE() << "reading " << path << " did not return";
        std::_Exit(EXIT_FAILURE);
    }
    return reading.get();
}

const ClientWindowSettings kDefaults{};

TEST(ReadSiteConfiguration, ReportsEachFileInTheRunLog) {
    // "@" stands for the file's path.
    const struct {
        std::string fixture;
        bool result;
        std::string log;
    } cases[] = {
        {"empty.xml", false, "Cmd line configuration document XML error: Error document empty."},
        {"malformed.xml", false, "Cmd line configuration document XML error: Error reading end tag."},
        {"other_root.xml", false, "Config XML element not found in file @\n"},
        {"no_system.xml", false, "Found Config XML element\nNo valid camera found in file @\n"},
        {"invalid_only.xml", false,
         "Found Config XML element\n"
         "Found 10.9.9.9 system XML element\n"
         "Found invalid config for System 10.9.9.9, Camera Number 5 in file @\n"
         "No valid camera found in file @\n"},
        {"cameras.xml", true,
         "Found Config XML element\n"
         "Found 10.1.2.3 system XML element\n"
         "Found invalid config for System 10.1.2.3, Camera Number 8 in file @\n"
         "Found invalid config for System 10.1.2.3, Camera Number 11 in file @\n"
         "Found  system XML element\n"
         "Found cam-a system XML element\n"
         "Found CAM-A system XML element\n"
         "Found 10.1.2.3  system XML element\n"
         "Found 10.1.2.3:81 system XML element\n"
         "Found 10.1.2.3 system XML element\n"},
        {"missing.xml", false, "Could not open file @\n"},
    };
    for (const auto& c : cases) {
        std::string path = Fixture(c.fixture);
        ReadOutcome outcome = Read(path);
        EXPECT_EQ(outcome.result, c.result) << c.fixture;
        EXPECT_EQ(outcome.log, ReplaceAll(c.log, "@", path)) << c.fixture;
        if (!c.result) {
            EXPECT_TRUE(outcome.directory.empty()) << c.fixture;
        }
    }
}

TEST(ReadSiteConfiguration, StoresEveryValidCameraTheLaterOneWinning) {
    const CameraDirectory expected = {
        {"10.1.2.3:7", {"10.1.2.3", "Lobby", "2", "dev1"}},
        {"10.1.2.3:2147483647", {"10.1.2.3", "Past the int range", "", ""}},
        {"10.1.2.3:-2147483648", {"10.1.2.3", "Below the int range", "", ""}},
        {"10.1.2.3:3", {"10.1.2.3", "Same key, later system", "", "d3"}},
        {"10.1.2.3:-2", {"10.1.2.3", "Hall > East", "", "dev2"}},
        {"10.1.2.3:9", {"10.1.2.3", "", "", ""}},
        {"10.1.2.3:10", {"10.1.2.3", "Second", "", ""}},
        {"10.1.2.3:12", {"10.1.2.3", "Valid first", "", ""}},
        {"10.1.2.3:14", {"10.1.2.3", "After another element", "1", ""}},
        {":5", {"", "Empty address", "", ""}},
        {"cam-a:1", {"cam-a", "lower", "", ""}},
        {"CAM-A:1", {"CAM-A", "upper", "", ""}},
        {"10.1.2.3 :7", {"10.1.2.3 ", "Trailing blank", "", ""}},
        {"10.1.2.3:81:12", {"10.1.2.3:81", "With port", "4", ""}},
    };
    ReadOutcome outcome = Read(Fixture("cameras.xml"));
    EXPECT_EQ(outcome.directory, expected);
    EXPECT_EQ(outcome.settings, (ClientWindowSettings{640, 480, 100, 50, 0}));
}

TEST(ReadSiteConfiguration, ReadsTheWindowSettingsFromTheConfigElement) {
    const struct {
        std::string fixture;
        ClientWindowSettings settings;
    } cases[] = {
        {"allow_1.xml", {392, 425, -1, -1, 1}},
        {"allow_1_height_500.xml", {392, 500, -1, -1, 1}},
        {"allow_0.xml", {392, 377, -1, -1, 0}},
        {"allow_7_height_first.xml", {392, 300, -1, -1, 7}},  // read in a fixed order, not the file's
        {"width_abc.xml", {392, 377, -5, 8, 0}},
        {"width_640px.xml", {640, 377, -1, 12, 0}},
        {"beyond_int.xml", {INT_MAX, INT_MIN, 42, -1, INT_MAX}},  // held at the int range's ends
        {"invalid_only.xml", {392, 425, 10, 20, 1}},              // kept although no camera is valid
        {"no_system.xml", {640, 480, -1, -1, 0}},
        {"other_root.xml", kDefaults},
        {"malformed.xml", kDefaults},
        {"empty.xml", kDefaults},
    };
    for (const auto& c : cases) EXPECT_EQ(Read(Fixture(c.fixture)).settings, c.settings) << c.fixture;
}

TEST(ReadSiteConfiguration, BehavesTheSameWithTheRunLogOff) {
    const std::string fixtures[] = {"cameras.xml",   "invalid_only.xml", "no_system.xml", "other_root.xml",
                                    "malformed.xml", "empty.xml",        "allow_1.xml",   "missing.xml"};
    for (const auto& fixture : fixtures) {
        ReadOutcome on = Read(Fixture(fixture), true);
        ReadOutcome off = Read(Fixture(fixture), false);
        EXPECT_EQ(off.result, on.result) << fixture;
        EXPECT_EQ(off.directory, on.directory) << fixture;
        EXPECT_EQ(off.settings, on.settings) << fixture;
        EXPECT_EQ(off.log, "") << fixture;
    }
}

// Keeps what the reader tells it.
class RecordingObserver : public SiteConfigObserver {
public:
    void Parsed(const std::string&, const std::vector<size_t>&, const TiXmlDocument&) override { ++parsed; }
    void ConfigFound(const TiXmlElement&) override { ++configs; }
    void Found(const SiteConfigFinding& finding) override { kinds.push_back(finding.kind); }
    int parsed = 0;
    int configs = 0;
    std::vector<SiteConfigFindingKind> kinds;
};

TEST(ReadSiteConfiguration, AnObserverChangesNothingAndHearsWhatTheReaderDecides) {
    using Kind = SiteConfigFindingKind;
    const struct {
        std::string fixture;
        int parsed;
        int configs;
        std::vector<Kind> kinds;
    } cases[] = {
        {"empty.xml", 1, 0, {}},
        {"malformed.xml", 1, 0, {}},
        {"other_root.xml", 1, 0, {}},
        {"missing.xml", 0, 0, {}},
        {"no_system.xml", 1, 1, {}},
        {"invalid_only.xml",
         1,
         1,
         {Kind::SystemWithoutAddress, Kind::CameraNumberNotInteger, Kind::CameraInputMissing,
          Kind::CameraInputInvalid}},
        {"allow_1.xml", 1, 1, {}},
    };
    for (const auto& c : cases) {
        const std::string path = Fixture(c.fixture);
        RecordingObserver observer;
        ReadOutcome plain = Read(path);
        ReadOutcome observed = Read(path, true, &observer);
        EXPECT_EQ(observed.result, plain.result) << c.fixture;
        EXPECT_EQ(observed.log, plain.log) << c.fixture;
        EXPECT_EQ(observed.directory, plain.directory) << c.fixture;
        EXPECT_EQ(observed.settings, plain.settings) << c.fixture;
        EXPECT_EQ(observer.parsed, c.parsed) << c.fixture;
        EXPECT_EQ(observer.configs, c.configs) << c.fixture;
        EXPECT_EQ(observer.kinds, c.kinds) << c.fixture;
    }
    // The fixture with every kind of camera, a replaced key among them.
    RecordingObserver observer;
    ReadOutcome plain = Read(Fixture("cameras.xml"));
    ReadOutcome observed = Read(Fixture("cameras.xml"), true, &observer);
    EXPECT_EQ(observed.log, plain.log);
    EXPECT_EQ(observed.directory, plain.directory);
    EXPECT_NE(std::find(observer.kinds.begin(), observer.kinds.end(), SiteConfigFindingKind::CameraReplaced),
              observer.kinds.end());
}

const std::string kOneCamera = "<Camera Number=\"1\"><Input Name=\"Lobby\"/></Camera>";

std::string ConfigAround(const std::string& systemContent) {
    return "<Config><System IPAddr=\"10.1.2.3\">" + systemContent + "</System></Config>";
}

TEST(ReadSiteConfiguration, RefusesTextsThatWouldExhaustTinyXmlsStackOrTime) {
    const std::string tooDeep =
        "Cmd line configuration document XML error: Error document nested too deeply.";
    const std::string heldNull =
        "Cmd line configuration document XML error: Error null character in document.";
    const struct {
        std::string name;
        std::string text;
        bool result;
        std::string log;
        std::uintmax_t size = 0;  // when set, the file is extended with nulls to this size
    } cases[] = {
        {"million levels", Repeated("<a>", 1000000) + Repeated("</a>", 1000000), false, tooDeep},
        {"million levels in a camera",
         ConfigAround(kOneCamera + Repeated("<a>", 1000000) + Repeated("</a>", 1000000)), false, tooDeep},
        // TinyXML's stream extraction ignores the quotes and would recurse into every <b>.
        {"levels in a quoted value",
         "<Config Note=\"" + Repeated("<b>", 1000000) + "\">" + kOneCamera + "</Config>", false, tooDeep},
        {"null after the element", ConfigAround(kOneCamera) + std::string("\0", 1), true,
         "Found Config XML element\nFound 10.1.2.3 system XML element\n"},
        // TinyXML's stream extraction would loop for ever on it.
        {"null inside the element", ConfigAround(std::string("\0", 1) + kOneCamera), false, heldNull},
        {"CDATA opening in an end tag", ConfigAround(kOneCamera + "</<![CDATA[x]]>"), false,
         "Cmd line configuration document XML error: Error CDATA section inside an end tag."},
        // Each end tag is taken into a UTF-8 character before it: TinyXML recursed 200000 levels deep.
        {"end tags hidden in UTF-8 characters",
         "\xEF\xBB\xBF<Config>" + Repeated("<a>\xE2\x82</a>", 200000) + "</Config>", false, tooDeep},
        // TinyXML's parser would spend a minute on them.
        {"100000 attributes", "<Config" + Attributes(100000) + ">" + kOneCamera + "</Config>", false,
         "Cmd line configuration document XML error: Error element has too many attributes."},
        // The null after the element ends what TinyXML reads.
        {"at the size bound", ConfigAround(kOneCamera), true,
         "Found Config XML element\nFound 10.1.2.3 system XML element\n", 16u << 20},
        {"past the size bound", ConfigAround(kOneCamera), false,
         "Cmd line configuration document XML error: Error document too large.", (16u << 20) + 1},
        {"200 levels inside a camera",
         ConfigAround("<Camera Number=\"1\"><Input Name=\"Lobby\"/>" + Repeated("<a>", 200) +
                      Repeated("</a>", 200) + "</Camera>"),
         true, "Found Config XML element\nFound 10.1.2.3 system XML element\n"},
    };
    ScratchDirectory scratch;
    for (const auto& c : cases) {
        std::string path = scratch.Write("KestrupConfig.xml", c.text);
        if (c.size > 0) fs::resize_file(path, c.size);
        ReadOutcome outcome = ReadWithoutWaitingForever(path);
        EXPECT_EQ(outcome.result, c.result) << c.name;
        EXPECT_EQ(outcome.log, c.log) << c.name;
        EXPECT_EQ(outcome.directory.size(), c.result ? 1u : 0u) << c.name;
    }
}

TEST(ReadSiteConfiguration, ReadsLargeSitesWhole) {
    const struct {
        std::string name;
        int cameras;
        std::string inputName;
    } cases[] = {
        {"100000 cameras", 100000, "Lobby"},
        // Each '>' in a quoted value sends TinyXML's extraction one level deeper.
        {"names holding '>'", 1000, "Hall > East"},
    };
    ScratchDirectory scratch;
    for (const auto& c : cases) {
        std::string text = "<?xml version=\"1.0\"?>\n<Config>\n  <System IPAddr=\"10.1.2.3\">\n";
        for (int i = 0; i < c.cameras; ++i) {
            text += "    <Camera Number=\"" + std::to_string(i) + "\"><Input Name=\"" + c.inputName +
                    "\" Number=\"" + std::to_string(i % 16) + "\" Device=\"encoder-" + std::to_string(i) +
                    "\"/></Camera>\n";
        }
        text += "  </System>\n</Config>\n";
        ReadOutcome outcome = Read(scratch.Write("KestrupConfig.xml", text));
        EXPECT_TRUE(outcome.result) << c.name;
        ASSERT_EQ(outcome.directory.size(), static_cast<size_t>(c.cameras)) << c.name;
        int last = c.cameras - 1;
        EXPECT_EQ(outcome.directory["10.1.2.3:" + std::to_string(last)],
                  (CameraRecord{"10.1.2.3", c.inputName, std::to_string(last % 16),
                                "encoder-" + std::to_string(last)}))
            << c.name;
    }
}

TEST(ReadSiteConfiguration, RefusesWhatIsNotARegularFileWithoutWaiting) {
    ScratchDirectory scratch;
    TestPipe pipe;
    ASSERT_FALSE(pipe.Path().empty());
    fs::create_directories(scratch.File("KestrupConfig.xml"));
    const std::string paths[] = {pipe.Path(), scratch.File("KestrupConfig.xml"), scratch.File("missing.xml"),
                                 WindowsBuild() ? "NUL" : "/dev/null"};
    for (const auto& path : paths) {
        ReadOutcome outcome = ReadWithoutWaitingForever(path);
        EXPECT_FALSE(outcome.result) << path;
        EXPECT_EQ(outcome.log, "Could not open file " + path + "\n") << path;
    }
}

}  // namespace
