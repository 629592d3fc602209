// GetCmdLineOption over fuzzed command line texts and option names: no fault,
// and a value that is a space-free piece of the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "cmdline_options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider bytes(data, size);
    const std::string option = bytes.ConsumeRandomLengthString();
    const std::string commandLine = bytes.ConsumeRemainingBytesAsString();

    std::string value = "stale";
    const bool found = GetCmdLineOption(commandLine, option, value);
    if (!found && !value.empty()) std::abort();
    if (found && (value.find(' ') != std::string::npos || commandLine.find(value) == std::string::npos)) {
        std::abort();
    }
    return 0;
}
