// Entry of the end-to-end test programs: the GoogleTest flags, then the path of
// the program under test and, optionally, of the stand-in client.
#include <cstdio>

#include <gtest/gtest.h>

#include "program_directory.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PROGRAM [CLIENT]\n", argv[0]);
        return 2;
    }
    SetProgramsUnderTest(argv[1], argc > 2 ? argv[2] : "");
    return RUN_ALL_TESTS();
}
