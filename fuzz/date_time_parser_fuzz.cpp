// ParseDateTime over fuzzed input and format texts: no fault, no read past
// either terminator, and a result that is null or inside the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "date_time_parser.h"

namespace {

constexpr int kUntouched = -7;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider bytes(data, size);
    // Exact-size copies, so the address sanitizer sees any read past a terminator.
    const std::string formatText = bytes.ConsumeRandomLengthString();
    const std::string inputText = bytes.ConsumeRemainingBytesAsString();
    const std::size_t inputLength = std::strlen(inputText.c_str());

    std::tm record{};
    record.tm_isdst = kUntouched;
    const char* result = ParseDateTime(inputText.c_str(), formatText.c_str(), &record);
    if (result != nullptr && (result < inputText.c_str() || result > inputText.c_str() + inputLength)) {
        std::abort();
    }
    if (record.tm_isdst != kUntouched) std::abort();
    if (formatText.empty() && result != inputText.c_str()) std::abort();
    return 0;
}
