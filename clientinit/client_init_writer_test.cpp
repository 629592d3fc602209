#include "client_init_writer.h"

#include <climits>
#include <filesystem>
#include <fstream>
#include <vector>

#include <gtest/gtest.h>

#include "run_log.h"
#include "scratch_directory.h"
#include "test_text.h"

namespace {

namespace fs = std::filesystem;

const char kDocumentName[] = "nVCmdLine.xml";
const char kRunLogName[] = "run.log";
const char kLockName[] = "Kestrup.lock";

// Builds the document and saves it, as a run does; savedPath tells where.
bool SaveDocument(const std::string& outputPath, int cameraNumber, const std::string& systemText,
                  int beginTime, int endTime, bool live, std::string& savedPath) {
    TiXmlDocument document;
    return BuildClientInitDocument(document, cameraNumber, systemText, beginTime, endTime, live) &&
           SaveClientInitDocument(document, outputPath.c_str(), savedPath);
}

// As a lone request: an earlier document at outputPath is no longer held.
bool WriteDocument(const std::string& outputPath, int cameraNumber, const std::string& systemText,
                   int beginTime, int endTime, bool live) {
    if (FileExists(outputPath)) SetWrittenAgo(outputPath);
    std::string savedPath;
    return SaveDocument(outputPath, cameraNumber, systemText, beginTime, endTime, live, savedPath) &&
           savedPath == outputPath;
}

// Each test: empty scratch and camera directories, default window settings, a run log file of its own.
class ClientInitWriter : public ::testing::Test {
protected:
    void SetUp() override {
        TheCameraDirectory().clear();
        TheClientWindowSettings() = ClientWindowSettings();
        ASSERT_TRUE(SetRunLogToFile((scratch / kRunLogName).string()));
    }

    void TearDown() override { CloseRunLog(); }

    // Closes the log and gives its text, with line ends as "\n"; the log then starts afresh.
    std::string TakeRunLog() {
        CloseRunLog();
        fs::path logPath = scratch / kRunLogName;
        std::string text = WithoutCarriageReturns(ReadFileBytes(logPath.string()));
        fs::remove(logPath);
        EXPECT_TRUE(SetRunLogToFile(logPath.string()));
        return text;
    }

    const ScratchDirectory scratchDirectory{"kestrup-clientinit"};
    const fs::path scratch = scratchDirectory.Path();
    const fs::path work = MakeDirectory(scratchDirectory.File("work"));
    const std::string documentPath = (work / kDocumentName).string();
};

TEST(PlaceClientWindow, PutsTheWindowInTheScreensCornerUnlessThePairIsConfigured) {
    struct PlacementCase {
        int width, height, left, top;
        VirtualScreen screen;
        WindowPlace expected;
    };
    const PlacementCase cases[] = {
        {392, 377, -1, -1, {0, 0, 1024, 768}, {391, 632}},
        {392, 425, -1, -1, {0, 0, 1024, 768}, {343, 632}},  // AllowExpansion raised Height
        {392, 377, -1, -1, {-1280, 0, 2560, 1024}, {647, 888}},
        {392, 377, -1, -1, {0, 0, 1600, 900}, {523, 1208}},
        {392, 377, -1, -1, {100, -200, 800, 600}, {23, 508}},  // left, top, width, height
        {1100, 377, -1, -1, {0, 0, 1024, 768}, {391, -76}},    // wider than the screen
        {392, 377, 100, -1, {0, 0, 1024, 768}, {-1, 100}},     // only Left configured
        {392, 377, -1, 50, {0, 0, 1024, 768}, {50, -1}},       // only Top configured
        {392, 377, 0, 0, {0, 0, 1024, 768}, {0, 0}},
        {392, 377, 5000, -7000, {0, 0, 1024, 768}, {-7000, 5000}},
        {-1, 0, -1, -1, {0, 0, INT_MAX, 0}, {0, INT_MIN}},  // wraps, never traps
    };
    for (const auto& c : cases) {
        const ClientWindowSettings settings{c.width, c.height, c.left, c.top};
        WindowPlace place = PlaceClientWindow(settings, c.screen);
        const std::string label = std::to_string(c.screen.width) + "x" + std::to_string(c.screen.height) +
                                  " configured " + std::to_string(c.left) + "," + std::to_string(c.top);
        EXPECT_EQ(place.top, c.expected.top) << label;
        EXPECT_EQ(place.left, c.expected.left) << label;
    }
}

// Children as element names with an optional Name; the comment among them is no element, so passed over.
void AddChildren(TiXmlElement& parent) {
    const std::pair<const char*, const char*> children[] = {
        {"Video", nullptr}, {"Input", "a"}, {"Input", nullptr}, {"Input", "b"}, {"Input", "a"}};
    parent.LinkEndChild(new TiXmlComment("first"));
    for (const auto& [name, value] : children) {
        auto* child = new TiXmlElement(name);
        if (value != nullptr) child->SetAttribute("Name", value);
        parent.LinkEndChild(child);
    }
}

// The position of child among parent's elements; with null, their count.
int IndexAmongElements(const TiXmlElement& parent, const TiXmlElement* child) {
    int index = 0;
    for (const TiXmlElement* e = parent.FirstChildElement(); e != child; e = e->NextSiblingElement()) {
        if (e == nullptr) return -1;
        ++index;
    }
    return index;
}

TEST(TreeFunctions, FindTheFirstMatchOrAppendANewLastChild) {
    struct TreeCase {
        std::string name;
        const char* attributeValue;  // null: FindOrAddChild
        int expectedIndex;           // among the element children afterwards
        int expectedElements;
    };
    // clang-format off
    const TreeCase cases[] = {
        {"Video", nullptr, 0, 5},
        {"Input", nullptr, 1, 5},  // the first of several
        {"System", nullptr, 5, 6},
        {"video", nullptr, 5, 6},  // names are case-sensitive
        {"Input", "a", 1, 5},
        {"Input", "b", 3, 5},      // passes over the one without the attribute
        {"Input", "B", 5, 6},
        {"Input", "", 5, 6},       // an absent attribute does not equal an empty value
        {"Video", "a", 5, 6},      // the Video has no Name
    };
    // clang-format on
    for (const auto& c : cases) {
        TiXmlElement parent("Parent");
        AddChildren(parent);
        TiXmlElement* result = c.attributeValue == nullptr
                                   ? FindOrAddChild(&parent, c.name)
                                   : FindOrAddChildWithAttribute(&parent, c.name, "Name", c.attributeValue);
        const std::string label = c.name + "/" + (c.attributeValue ? c.attributeValue : "(none)");
        ASSERT_NE(result, nullptr) << label;
        EXPECT_EQ(result->ValueStr(), c.name) << label;
        EXPECT_EQ(IndexAmongElements(parent, result), c.expectedIndex) << label;
        if (c.attributeValue != nullptr) {
            const std::string* value = result->Attribute(std::string("Name"));
            ASSERT_NE(value, nullptr) << label;
            EXPECT_EQ(*value, c.attributeValue) << label;
        }
        EXPECT_EQ(IndexAmongElements(parent, nullptr), c.expectedElements) << label;
        if (c.expectedElements == 6) {  // appended
            EXPECT_EQ(parent.LastChild(), static_cast<TiXmlNode*>(result)) << label;
        }
    }
}

const char kRootWithPlaceTen20[] =
    "<NorvaneInit Top=\"20\" Left=\"10\" Width=\"392\" Height=\"377\" Maximize=\"0\" "
    "ShowNavPanel=\"0\" ShowToolbars=\"0\" FullScreen=\"0\" AllowAccelerators=\"0\">\n";

std::string Document(const std::string& root, const std::string& mode, const std::string& modeName,
                     const std::string& system, const std::string& input) {
    return "<?xml ?>\n" + root + "    " + mode + "\n        <System Name=" + system + ">\n" +
           "            <Video>\n                " + input + "\n            </Video>\n" +
           "        </System>\n    </" + modeName + ">\n</NorvaneInit>\n";
}

TEST_F(ClientInitWriter, WritesTheTenLineDocumentByteForByte) {
    struct DocumentCase {
        const char* label;
        ClientWindowSettings settings;
        std::string storedAddress;
        int storedNumber;
        CameraRecord record;
        int cameraNumber;
        std::string systemText;
        int beginTime, endTime;
        bool live;
        std::string expected;
    };
    const std::string searchMode = "<Search Start=\"1293273000\" End=\"1293274800\" AllowExpansion=\"0\">";
    // The usual search document, for system and input.
    const auto search = [&](const std::string& system, const std::string& input) {
        return Document(kRootWithPlaceTen20, searchMode, "Search", system,
                        "<Input " + input + " Position=\"0\" />");
    };
    const ClientWindowSettings placed{392, 377, 10, 20, 0};
    // clang-format off
    const DocumentCase cases[] = {
        {"search by name", placed, "10.1.2.3", 7, {"10.1.2.3", "Lobby", "", ""},
         7, "10.1.2.3", 1293273000, 1293274800, false, search("\"10.1.2.3\"", "Name=\"Lobby\"")},
        {"live ignores the times", {392, 377, 10, 20, 1}, "10.1.2.3", 7, {"", "Lobby", "", ""},
         7, "10.1.2.3", 5, 6, true,
         Document(kRootWithPlaceTen20, "<Live>", "Live", "\"10.1.2.3\"",
                  "<Input Name=\"Lobby\" Position=\"0\" />")},
        {"times pass through signed; expansion and height", {500, 425, 1, 2, 3}, "h", 1, {"", "Door", "", ""},
         1, "h", -1, INT_MIN, false,
         Document("<NorvaneInit Top=\"2\" Left=\"1\" Width=\"500\" Height=\"425\" Maximize=\"0\" "
                  "ShowNavPanel=\"0\" ShowToolbars=\"0\" FullScreen=\"0\" AllowAccelerators=\"0\">\n",
                  "<Search Start=\"-1\" End=\"-2147483648\" AllowExpansion=\"3\">", "Search", "\"h\"",
                  "<Input Name=\"Door\" Position=\"0\" />")},
        {"a name wins over number and device", placed, "10.1.2.3", 7, {"x", "Lobby", "4", "D1"},
         7, "10.1.2.3", 1293273000, 1293274800, false, search("\"10.1.2.3\"", "Name=\"Lobby\"")},
        {"no name and no number", placed, "10.1.2.3", 7, {"", "", "", ""},
         7, "10.1.2.3", 1293273000, 1293274800, false, search("\"10.1.2.3\"", "Number=\"\"")},
        {"number and device, number kept as written", placed, "10.1.2.3", 7, {"", "", "007", "D1"},
         7, "10.1.2.3", 1293273000, 1293274800, false,
         search("\"10.1.2.3\"", "Number=\"007\" Device=\"D1\"")},
        {"number without device", placed, "10.1.2.3", 7, {"", "", "3", ""},
         7, "10.1.2.3", 1293273000, 1293274800, false, search("\"10.1.2.3\"", "Number=\"3\"")},
        {"system text with a port", placed, "10.1.2.3:81", 12, {"", "Yard", "", ""},
         12, "10.1.2.3:81", 1293273000, 1293274800, false, search("\"10.1.2.3:81\"", "Name=\"Yard\"")},
        {"only Top configured", {392, 377, -1, 50, 0}, "h", 0, {"", "Zero", "", ""},
         0, "h", 1, 2, true,
         Document("<NorvaneInit Top=\"50\" Left=\"-1\" Width=\"392\" Height=\"377\" Maximize=\"0\" "
                  "ShowNavPanel=\"0\" ShowToolbars=\"0\" FullScreen=\"0\" AllowAccelerators=\"0\">\n",
                  "<Live>", "Live", "\"h\"", "<Input Name=\"Zero\" Position=\"0\" />")},
        {"markup in values is escaped", placed, "a&b", 7, {"", "<Gate> \"2\"", "", ""},
         7, "a&b", 1293273000, 1293274800, false, search("\"a&amp;b\"", "Name='&lt;Gate&gt; &quot;2&quot;'")},
    };
    // clang-format on
    // Text mode writes CRLF on Windows and LF elsewhere; the document follows it.
    EXPECT_EQ(TextModeLineEnd(), WindowsBuild() ? "\r\n" : "\n");
    for (const auto& c : cases) {
        TheCameraDirectory().clear();
        TheClientWindowSettings() = c.settings;
        StoreCamera(MakeCameraKey(c.storedAddress, c.storedNumber), c.record);
        EXPECT_TRUE(
            WriteDocument(documentPath.c_str(), c.cameraNumber, c.systemText, c.beginTime, c.endTime, c.live))
            << c.label;
        EXPECT_EQ(ReadFileBytes(documentPath), WithLineEnds(c.expected)) << c.label;
        EXPECT_EQ(TakeRunLog(), "") << c.label;
        EXPECT_EQ(NamesIn(work.string()), (std::vector<std::string>{kLockName, kDocumentName})) << c.label;
    }
}

TEST_F(ClientInitWriter, ReplacesAnEarlierDocumentWhole) {
    TheClientWindowSettings().Left = 10;
    TheClientWindowSettings().Top = 20;
    StoreCamera("10.1.2.3:7", {"10.1.2.3", "Lobby", "", ""});
    WriteFileBytes(documentPath, std::string(20000, 'x') + "\n");
    ASSERT_TRUE(WriteDocument(documentPath.c_str(), 7, "10.1.2.3", 1293273000, 1293274800, false));
    const std::string expected =
        Document(kRootWithPlaceTen20, "<Search Start=\"1293273000\" End=\"1293274800\" AllowExpansion=\"0\">",
                 "Search", "\"10.1.2.3\"", "<Input Name=\"Lobby\" Position=\"0\" />");
    EXPECT_EQ(ReadFileBytes(documentPath), WithLineEnds(expected));
    EXPECT_EQ(NamesIn(work.string()), (std::vector<std::string>{kLockName, kDocumentName}));
}

TEST_F(ClientInitWriter, AnUnknownCameraLeavesTheEarlierFileAndNamesTheKey) {
    struct MissingCase {
        std::string storedKey;  // empty: nothing stored
        int cameraNumber;
        std::string systemText;
        std::string expectedKey;
    };
    const MissingCase cases[] = {
        {"", 3, "10.0.0.5", "10.0.0.5:3"},
        {"10.0.0.5:4", 3, "10.0.0.5", "10.0.0.5:3"},
        {"10.0.0.5 :3", 3, "10.0.0.5", "10.0.0.5:3"},
        {"CAM-A:3", 3, "cam-a", "cam-a:3"},
        {"10.1.2.3:81:5", 5, "10.1.2.3", "10.1.2.3:5"},
        {"h:1", 0, "h", "h:0"},
        {"h:1", -12, "h", "h:-12"},
    };
    const std::string earlier = "earlier document\n";
    for (const auto& c : cases) {
        TheCameraDirectory().clear();
        if (!c.storedKey.empty()) StoreCamera(c.storedKey, {"", "Lobby", "", ""});
        WriteFileBytes(documentPath, earlier);
        EXPECT_FALSE(WriteDocument(documentPath.c_str(), c.cameraNumber, c.systemText, 1, 2, false))
            << c.expectedKey;
        EXPECT_EQ(TakeRunLog(), "Cmd line input System:Camera " + c.expectedKey +
                                    " not found in XML configuration file.\n");
        EXPECT_EQ(ReadFileBytes(documentPath), earlier) << c.expectedKey;
        EXPECT_EQ(NamesIn(work.string()), std::vector<std::string>{kDocumentName}) << c.expectedKey;
    }
    SetRunLogOff();
    EXPECT_FALSE(WriteDocument(documentPath.c_str(), 3, "10.0.0.5", 1, 2, true));
}

// A save takes the lowest slot neither written within the hold time (or ahead) nor held open without
// delete sharing (only Windows refuses to replace it); with none free, the oldest, with a line.
TEST_F(ClientInitWriter, TakesTheLowestFreeSlot) {
    struct SlotCase {
        const char* label;
        std::vector<int> writtenAgo;  // seconds, of slot 1, 2, ...; a negative time lies ahead
        int heldOpen;                 // a slot another program holds open, or 0
        int expected;
    };
    std::vector<int> allHeld(64, 2);
    allHeld[4] = 9;
    const SlotCase cases[] = {
        {"none there", {}, 0, 1},
        {"slot 1 old, slot 2 held", {3600, 0}, 0, 1},
        {"slot 1 held", {0}, 0, 2},
        {"slot 1 ahead", {-600}, 0, 2},
        {"slots 1 and 2 held, 3 old", {1, 2, 3600}, 0, 3},
        {"slot 1 old but held open", {3600}, 1, WindowsBuild() ? 2 : 1},
        {"all held", allHeld, 0, 5},
    };
    StoreCamera("10.1.2.3:7", {"10.1.2.3", "Lobby", "", ""});
    const auto slotPath = [&](int slot) {
        return slot == 1 ? documentPath : (work / ("nVCmdLine-" + std::to_string(slot) + ".xml")).string();
    };
    for (const auto& c : cases) {
        fs::remove_all(work);
        fs::create_directories(work);
        for (size_t slot = 1; slot <= c.writtenAgo.size(); ++slot) {
            WriteFileBytes(slotPath(slot), "earlier " + std::to_string(slot));
            SetWrittenAgo(slotPath(slot), c.writtenAgo[slot - 1]);
        }
        std::ifstream holder;
        if (c.heldOpen != 0) holder.open(slotPath(c.heldOpen));
        std::string savedPath;
        EXPECT_TRUE(SaveDocument(documentPath, 7, "10.1.2.3", 1, 2, true, savedPath)) << c.label;
        EXPECT_EQ(savedPath, slotPath(c.expected)) << c.label;
        EXPECT_EQ(TakeRunLog(), c.writtenAgo.size() == 64 ? "No client init document is free; the oldest, " +
                                                                slotPath(c.expected) + ", is replaced.\n"
                                                          : "")
            << c.label;
        for (size_t slot = 1; slot <= c.writtenAgo.size(); ++slot) {
            const std::string text = ReadFileBytes(slotPath(slot));
            EXPECT_EQ(text == "earlier " + std::to_string(slot), static_cast<int>(slot) != c.expected)
                << c.label << ": slot " << slot;
        }
    }
}

// A missing directory, or a directory at the document: the line names the reason; no stray file is left.
TEST_F(ClientInitWriter, AFailedWriteNamesTheReasonAndLeavesNoStrayFile) {
    enum class Obstacle { MissingDirectory, DirectoryAtTarget };
    const std::pair<const char*, Obstacle> cases[] = {
        {"missing directory", Obstacle::MissingDirectory},
        {"directory at the target", Obstacle::DirectoryAtTarget},
    };
    StoreCamera("10.1.2.3:7", {"10.1.2.3", "Lobby", "", ""});
    for (const auto& [label, obstacle] : cases) {
        fs::remove_all(work);
        fs::create_directories(work);
        std::string target = documentPath;
        std::vector<std::string> namesLeft;
        if (obstacle == Obstacle::MissingDirectory) target = (work / "absent" / kDocumentName).string();
        if (obstacle == Obstacle::DirectoryAtTarget) {
            fs::create_directory(documentPath);
            namesLeft = {kLockName, kDocumentName};
        }

        // Not through WriteDocument: a directory made just now is still no document held for a client.
        std::string savedPath;
        EXPECT_FALSE(SaveDocument(target, 7, "10.1.2.3", 1, 2, false, savedPath)) << label;

        const std::string log = TakeRunLog();
        const std::string prefix = "Error writing file " + target + ".  Error ";
        ASSERT_GT(log.size(), prefix.size() + 1) << label << ": " << log;
        EXPECT_EQ(log.substr(0, prefix.size()), prefix) << label;
        const std::string reason = log.substr(prefix.size(), log.size() - prefix.size() - 1);
        EXPECT_EQ(log.back(), '\n') << label;
        EXPECT_FALSE(reason.empty()) << label;
        EXPECT_EQ(reason.find('\n'), std::string::npos) << label << ": " << log;
        if (obstacle == Obstacle::MissingDirectory) {
            std::string systemReason;
            std::FILE* stream = nullptr;
            EXPECT_EQ(CreateTemporaryFile(target, stream, systemReason), nullptr);
            EXPECT_EQ(reason, systemReason) << label;
        }
        EXPECT_EQ(NamesIn(work.string()), namesLeft) << label;
    }
}

// Past MAX_PATH the document is written (POSIX) or the reason logged (Windows); nothing is left behind.
TEST_F(ClientInitWriter, ADocumentPastThePathLimitLeavesNothingBehind) {
    StoreCamera("10.1.2.3:7", {"10.1.2.3", "Lobby", "", ""});
    std::string deep = work.string();
    while (deep.size() < 250) {
        const size_t left = 250 - deep.size();
        deep += PathSeparator() + std::string(left > 102 ? 100 : left - 1, 'd');
    }
    fs::create_directories(deep);
    const std::string target = deep + PathSeparator() + kDocumentName;
    const bool written = WriteDocument(target.c_str(), 7, "10.1.2.3", 1, 2, true);
    const std::string log = TakeRunLog();
    const std::vector<std::string> namesLeft = {kLockName, kDocumentName};
    EXPECT_EQ(NamesIn(deep), written ? namesLeft : std::vector<std::string>{});
    EXPECT_EQ(log.empty(), written) << log;
}

// These depend on the real screen: without a display 1024x768 at the origin; the second under 1600x900 Xvfb.
class DefaultPlacement : public ClientInitWriter {
protected:
    std::string WriteWithDefaultSettings() {
        StoreCamera("10.1.2.3:7", {"10.1.2.3", "Lobby", "", ""});
        EXPECT_TRUE(WriteDocument(documentPath.c_str(), 7, "10.1.2.3", 0, 0, true));
        std::string document = WithoutCarriageReturns(ReadFileBytes(documentPath));
        return document.substr(0, document.find(" Width="));
    }
};

TEST_F(DefaultPlacement, WithoutADisplay) {
    EXPECT_EQ(WriteWithDefaultSettings(), "<?xml ?>\n<NorvaneInit Top=\"391\" Left=\"632\"");
}

TEST_F(DefaultPlacement, OnA1600x900Display) {
    EXPECT_EQ(WriteWithDefaultSettings(), "<?xml ?>\n<NorvaneInit Top=\"523\" Left=\"1208\"");
}

}  // namespace
