// Entry of the end-to-end tests: GoogleTest flags, the program under test, its helper programs by option.
#include <cstdio>
#include <cstring>

#include <gtest/gtest.h>

#include "program_directory.h"

namespace {

constexpr char kClientOption[] = "--client=";
constexpr char kCheckerOption[] = "--checker=";
constexpr char kLinkOption[] = "--link=";

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    ProgramsUnderTest programs;
    bool understood = argc >= 2;
    for (int i = 1; i < argc && understood; ++i) {
        const char* argument = argv[i];
        if (std::strncmp(argument, kClientOption, sizeof kClientOption - 1) == 0) {
            programs.client = argument + sizeof kClientOption - 1;
        } else if (std::strncmp(argument, kCheckerOption, sizeof kCheckerOption - 1) == 0) {
            programs.checker = argument + sizeof kCheckerOption - 1;
        } else if (std::strncmp(argument, kLinkOption, sizeof kLinkOption - 1) == 0) {
            programs.linkProgram = argument + sizeof kLinkOption - 1;
        } else if (programs.program.empty()) {
            programs.program = argument;
        } else {
            understood = false;
        }
    }
    if (!understood || programs.program.empty()) {
        std::fprintf(stderr, "usage: %s PROGRAM [%sCLIENT] [%sCHECKER] [%sLINK-PROGRAM]\n", argv[0],
                     kClientOption, kCheckerOption, kLinkOption);
        return 2;
    }
    SetProgramsUnderTest(programs);
    return RUN_ALL_TESTS();
}
