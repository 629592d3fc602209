#include "camera_directory.h"

#include <climits>

#include <gtest/gtest.h>

namespace {

bool SameRecord(const CameraRecord& a, const CameraRecord& b) {
    return a.systemAddress == b.systemAddress && a.inputName == b.inputName &&
           a.inputNumber == b.inputNumber && a.device == b.device;
}

void ResetDirectory() { TheCameraDirectory().clear(); }

TEST(MakeCameraKey, JoinsTheAddressAndTheSignedNumberWithAColon) {
    const struct {
        std::string address;
        int number;
        std::string key;
    } cases[] = {
        {"10.1.2.3", 7, "10.1.2.3:7"},
        {"10.1.2.3:81", 12, "10.1.2.3:81:12"},
        {"10.1.2.3", -1, "10.1.2.3:-1"},
        {"", 5, ":5"},
        {" Cam-A ", 0, " Cam-A :0"},
        {"x", INT_MIN, "x:-2147483648"},
        {"x", INT_MAX, "x:2147483647"},
    };
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
        {"10.1.2.3:7", "Lobby"}, {"10.1.2.3:07", nullptr}, {"10.1.2.3 :7", nullptr}, {"CAM-A:1", nullptr},
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
        EXPECT_TRUE(SameRecord(*FindCamera("s:1"), c.second)) << c.second.inputName;
    }
}

TEST(ClientWindowSettings, StartAtTheDefaults) {
    ClientWindowSettings settings;
    EXPECT_EQ(settings.Width, 392);
    EXPECT_EQ(settings.Height, 377);
    EXPECT_EQ(settings.Left, -1);
    EXPECT_EQ(settings.Top, -1);
    EXPECT_EQ(settings.AllowExpansion, 0);
}

}  // namespace
