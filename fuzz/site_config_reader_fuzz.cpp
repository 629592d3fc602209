// ReadSiteConfiguration over a fuzzed site configuration file: no fault, leak
// or hang, and true exactly when the call stored a camera.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "camera_directory.h"
#include "run_log.h"
#include "scratch_directory.h"
#include "site_config_reader.h"

namespace {

constexpr char kConfigName[] = "KestrupConfig.xml";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchDirectory scratch;
    const std::string configPath = scratch.File(kConfigName);

    std::FILE* file = std::fopen(configPath.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    if (std::fclose(file) != 0) std::abort();

    TheCameraDirectory().clear();
    TheClientWindowSettings() = ClientWindowSettings{};
    SetRunLogOff();

    const bool read = ReadSiteConfiguration(configPath);
    if (read && TheCameraDirectory().empty()) std::abort();
    std::remove(configPath.c_str());
    return 0;
}
