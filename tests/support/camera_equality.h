// Equality of the camera directory's records, for EXPECT_EQ in the site configuration tests.
#pragma once

#include "camera_directory.h"

// Found by argument lookup, so they stand beside the types' own namespace.
inline bool operator==(const ClientWindowSettings& a, const ClientWindowSettings& b) {
    return a.Width == b.Width && a.Height == b.Height && a.Left == b.Left && a.Top == b.Top &&
           a.AllowExpansion == b.AllowExpansion;
}

inline bool operator==(const CameraRecord& a, const CameraRecord& b) {
    return a.systemAddress == b.systemAddress && a.inputName == b.inputName &&
           a.inputNumber == b.inputNumber && a.device == b.device;
}
