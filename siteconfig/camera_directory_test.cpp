#include "camera_directory.h"

#include <climits>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "camera_equality.h"

namespace {

void ResetDirectory() { TheCameraDirectory().clear(); }

TEST(MakeCameraKey, JoinsTheAddressAndTheSignedNumberWithAColon) {
    const struct {
        std::string address;
        int number;
        std::string key;
        // clang-format off
    } cases[] = {
        {"10.1.2.3", 7, "10.1.2.3:7"},
        {"10.1.2.3:81", 12, "10.1.2.3:81:12"},
        {"10.1.2.3", -1, "10.1.2.3:-1"},
        {"", 5, ":5"},
        {" Cam-A ", 0, " Cam-A :0"},
        {"x", INT_MIN, "x:-2147483648"},
        {"x", INT_MAX, "x:2147483647"},
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(MakeCameraKey(c.address, c.number), c.key) << c.address;
}

TEST(FindCamera, FindsOnlyTheExactKey) {
    ResetDirectory();
    EXPECT_EQ(FindCamera("10.1.2.3:7"), nullptr);  // empty directory
    StoreCamera(MakeCameraKey("10.1.2.3", 7), {"10.1.2.3", "Lobby", "2", "dev"});
    StoreCamera(MakeCameraKey("cam-a", 1), {"cam-a", "lower", "", ""});
    StoreCamera(MakeCameraKey("10.1.2.3:81", 5), {"10.1.2.3:81", "Port", "", ""});
    const struct {
        std::string key;
        const char* inputName;  // null: not found
    } cases[] = {
        {"10.1.2.3:7", "Lobby"}, {"10.1.2.3:07", nullptr},  {"10.1.2.3 :7", nullptr}, {"CAM-A:1", nullptr},
        {"cam-a:1", "lower"},    {"10.1.2.3:81:5", "Port"}, {"10.1.2.3:5", nullptr},  {"", nullptr},
    };
    for (const auto& c : cases) {
        const CameraRecord* found = FindCamera(c.key);
        if (c.inputName == nullptr) {
            EXPECT_EQ(found, nullptr) << c.key;
        } else {
            ASSERT_NE(found, nullptr) << c.key;
            EXPECT_EQ(found->inputName, c.inputName) << c.key;
        }
    }
}

TEST(StoreCamera, ReplacesTheWholeRecordUnderAKey) {
    const struct {
        CameraRecord first;
        CameraRecord second;
    } cases[] = {
        {{"s", "Old", "1", "dev"}, {"s", "", "2", ""}},
        {{"s", "Old", "1", "dev"}, {"s", "", "", ""}},
        {{"s", "", "", ""}, {"s", "New", "3", "d"}},
    };
    for (const auto& c : cases) {
        ResetDirectory();
        StoreCamera("s:1", c.first);
        StoreCamera("s:1", c.second);
        EXPECT_EQ(TheCameraDirectory().size(), 1u);
        ASSERT_NE(FindCamera("s:1"), nullptr);
        EXPECT_EQ(*FindCamera("s:1"), c.second) << c.second.inputName;
    }
}

// Keys in a site file's orders, the directory changed between stores: always what a plain map would hold.
TEST(StoreCamera, HoldsWhatAPlainMapWouldWhateverTheOrder) {
    const struct {
        const char* name;
        std::vector<std::string> steps;  // "+key" stores, "-key" erases, "clear" empties
    } cases[] = {
        {"rising numbers", {"+a:1", "+a:2", "+a:9", "+a:10", "+a:11", "+a:19", "+a:20", "+a:99", "+a:100"}},
        {"falling numbers", {"+a:12", "+a:11", "+a:10", "+a:9", "+a:1", "+a:0", "+a:-1"}},
        {"repeated keys", {"+a:1", "+a:1", "+a:2", "+a:1", "+a:2", "+a:2"}},
        {"systems interleaved", {"+b:1", "+a:1", "+b:2", "+a:2", "+c:1", "+b:3", "+:1"}},
        {"cleared between", {"+a:1", "+a:2", "clear", "+a:3", "+a:4", "clear", "+a:5"}},
        {"last stored erased", {"+a:1", "+a:2", "+a:3", "-a:3", "+a:4", "-a:4", "-a:1", "+a:5"}},
    };
    for (const auto& c : cases) {
        ResetDirectory();
        CameraDirectory& directory = TheCameraDirectory();  // held across the stores
        std::map<std::string, std::string> expected;
        int stored = 0;
        for (const std::string& step : c.steps) {
            if (step == "clear") {
                directory.clear();
                expected.clear();
            } else if (step[0] == '-') {
                directory.erase(step.substr(1));
                expected.erase(step.substr(1));
            } else {
                const std::string name = std::to_string(++stored);
                StoreCamera(step.substr(1), {"", name, "", ""});
                expected[step.substr(1)] = name;
            }
        }
        std::map<std::string, std::string> held;
        for (const auto& [key, record] : TheCameraDirectory()) held[key] = record.inputName;
        EXPECT_EQ(held, expected) << c.name;
        for (const auto& [key, name] : expected) {
            ASSERT_NE(FindCamera(key), nullptr) << c.name << " " << key;
            EXPECT_EQ(FindCamera(key)->inputName, name) << c.name << " " << key;
        }
    }
}

}  // namespace
