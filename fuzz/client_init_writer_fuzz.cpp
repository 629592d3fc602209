// A document built and saved over a fuzzed camera record, window settings and
// request. A camera that is in the directory gives a document that reads back
// with the request's system and the settings' size; one that is not gives
// false and no file. No run leaves its temporary file behind.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>
#include <tinyxml.h>

#include "camera_directory.h"
#include "client_init_writer.h"
#include "platform.h"
#include "run_log.h"
#include "scratch_directory.h"
#include "test_text.h"

namespace {

constexpr char kDocumentName[] = "nVCmdLine.xml";
constexpr char kLogName[] = "Kestrup.log";
// Builds the document and saves it at outputPath, as a run does.
bool WriteDocument(const std::string& outputPath, int cameraNumber, const std::string& systemText,
                   int beginTime, int endTime, bool live) {
    TiXmlDocument document;
    std::string savedPath;
    return BuildClientInitDocument(document, cameraNumber, systemText, beginTime, endTime, live) &&
           SaveClientInitDocument(document, outputPath.c_str(), savedPath) && savedPath == outputPath;
}

bool IsPrintableAscii(const std::string& text) {
    for (char c : text) {
        if (c < 0x20 || c > 0x7e) return false;
    }
    return true;
}

// A temporary file of the document write left in directory.
bool HoldsTemporaryFile(const std::string& directory) {
    for (const std::string& name : NamesIn(directory)) {
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0) return true;
    }
    return false;
}

// The document at path parses, and carries the expected size and system name.
bool ReadsBack(const std::string& path, const ClientWindowSettings& settings, const std::string& systemText,
               bool live) {
    // The document declares no encoding and carries 8-bit names as they are,
    // so it is read back byte for byte, not as UTF-8.
    TiXmlDocument document;
    if (!document.LoadFile(path, TIXML_ENCODING_LEGACY)) return false;
    const TiXmlElement* root = document.FirstChildElement("NorvaneInit");
    if (root == nullptr) return false;
    int width = 0;
    int height = 0;
    if (root->QueryIntAttribute("Width", &width) != TIXML_SUCCESS || width != settings.Width) return false;
    if (root->QueryIntAttribute("Height", &height) != TIXML_SUCCESS || height != settings.Height)
        return false;
    const TiXmlElement* mode = root->FirstChildElement(live ? "Live" : "Search");
    if (mode == nullptr) return false;
    const TiXmlElement* system = mode->FirstChildElement("System");
    if (system == nullptr) return false;
    // Only plain printable text is sure to come back byte for byte through XML.
    if (IsPrintableAscii(systemText)) {
        const std::string* name = system->Attribute(std::string("Name"));
        if (name == nullptr || *name != systemText) return false;
    }
    return system->FirstChildElement("Video") != nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchDirectory scratch;
    const std::string documentPath = scratch.File(kDocumentName);
    const std::string logPath = scratch.File(kLogName);

    FuzzedDataProvider bytes(data, size);
    ClientWindowSettings& settings = TheClientWindowSettings();
    settings.Width = bytes.ConsumeIntegral<std::int32_t>();
    settings.Height = bytes.ConsumeIntegral<std::int32_t>();
    settings.Left = bytes.ConsumeBool() ? -1 : bytes.ConsumeIntegral<std::int32_t>();
    settings.Top = bytes.ConsumeBool() ? -1 : bytes.ConsumeIntegral<std::int32_t>();
    settings.AllowExpansion = bytes.ConsumeIntegral<std::int32_t>();
    const int cameraNumber = bytes.ConsumeIntegral<std::int32_t>();
    const int beginTime = bytes.ConsumeIntegral<std::int32_t>();
    const int endTime = bytes.ConsumeIntegral<std::int32_t>();
    const bool live = bytes.ConsumeBool();
    const bool stored = bytes.ConsumeBool();
    const std::string systemText = bytes.ConsumeRandomLengthString();
    CameraRecord record;
    record.systemAddress = systemText;
    record.inputName = bytes.ConsumeRandomLengthString();
    record.inputNumber = bytes.ConsumeRandomLengthString();
    record.device = bytes.ConsumeRemainingBytesAsString();

    TheCameraDirectory().clear();
    if (stored) StoreCamera(MakeCameraKey(systemText, cameraNumber), record);
    std::remove(documentPath.c_str());
    if (!SetRunLogToFile(logPath)) std::abort();

    const bool written =
        WriteDocument(documentPath.c_str(), cameraNumber, systemText, beginTime, endTime, live);
    CloseRunLog();
    std::remove(logPath.c_str());

    if (written != stored) std::abort();
    if (HoldsTemporaryFile(scratch.Path())) std::abort();
    if (written != FileExists(documentPath)) std::abort();
    if (written && !ReadsBack(documentPath, settings, systemText, live)) std::abort();
    return 0;
}
