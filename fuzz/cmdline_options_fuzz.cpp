// GetCmdLineOption and GetCmdLineOptionInt over fuzzed command line texts and
// option names: no fault, and a value that is a space-free piece of the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "cmdline_options.h"
#include "saturating_int.h"

namespace {

constexpr int kUntouched = 12345;

}  // namespace

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

    int number = kUntouched;
    const bool foundInt = GetCmdLineOptionInt(commandLine, option, number);
    if (foundInt != found) std::abort();
    if (!foundInt && number != kUntouched) std::abort();
    if (foundInt && number != SaturatingAtoi(value)) std::abort();
    return 0;
}
