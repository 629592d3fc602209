// Entry of the end-to-end tests: GoogleTest flags, the program under test, its helper programs by option.
#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "program_directory.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    ProgramsUnderTest programs;
    const std::pair<std::string, std::string*> options[] = {{"--client=", &programs.client},
                                                            {"--checker=", &programs.checker},
                                                            {"--link=", &programs.linkProgram}};
    bool understood = argc >= 2;
    for (int i = 1; i < argc && understood; ++i) {
        const std::string argument = argv[i];
        const auto named = std::find_if(std::begin(options), std::end(options), [&](const auto& option) {
            return argument.rfind(option.first, 0) == 0;
        });
        if (named != std::end(options)) {
            *named->second = argument.substr(named->first.size());
        } else {
            understood = programs.program.empty();
            programs.program = argument;
        }
    }
    if (!understood || programs.program.empty()) {
        std::fprintf(stderr,
                     "usage: %s PROGRAM [--client=CLIENT] [--checker=CHECKER] [--link=LINK-PROGRAM]\n",
                     argv[0]);
        return 2;
    }
    SetProgramsUnderTest(programs);
    return RUN_ALL_TESTS();
}
