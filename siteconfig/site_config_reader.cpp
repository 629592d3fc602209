#include "site_config_reader.h"

#include <algorithm>
#include <cstdio>
#include <istream>
#include <map>
#include <streambuf>
#include <utility>
#include <vector>

#include <tinyxml.h>

#include "camera_directory.h"
#include "platform.h"
#include "run_log.h"
#include "saturating_int.h"
#include "tinyxml_precheck.h"

namespace {

constexpr char kCouldNotOpenFile[] = "Could not open file %s\n";
// TinyXML's descriptions carry no line end, and neither does this line.
constexpr char kXmlError[] = "Cmd line configuration document XML error: %s";
constexpr char kFoundConfig[] = "Found Config XML element\n";
constexpr char kConfigNotFound[] = "Config XML element not found in file %s\n";
constexpr char kFoundSystem[] = "Found %s system XML element\n";
constexpr char kInvalidCamera[] = "Found invalid config for System %s, Camera Number %d in file %s\n";
constexpr char kNoValidCamera[] = "No valid camera found in file %s\n";

// Descriptions for texts refused before TinyXML sees them, in TinyXML's style.
constexpr char kNestedTooDeeply[] = "Error document nested too deeply.";
constexpr char kTooManyAttributes[] = "Error element has too many attributes.";
constexpr char kDocumentTooLarge[] = "Error document too large.";
constexpr char kEndsInsideCharacter[] = "Error document ends inside a character.";
constexpr char kHoldsNullCharacter[] = "Error null character in document.";
constexpr char kCdataInEndTag[] = "Error CDATA section inside an end tag.";

// The client's window grows by this much to make room for its expansion controls.
constexpr int kExpansionExtraHeight = 48;

constexpr size_t kReadChunkSize = 64 * 1024;

// The largest site file read. TinyXML's tree costs far more than the text: a real site peaks at about 12
// times its file's size, a file of nothing but empty elements ("<a/>") at about 57 times. This bound keeps
// even that near 1 GiB, and leaves room for 200,000 cameras (100,000 take 8 MB).
constexpr size_t kMaxSiteFileSize = 16 * 1024 * 1024;

enum class FileText { Read, NotOpened, TooLarge };

// The whole file as text (line ends as the C runtime's text mode gives them).
// NotOpened when path is not a regular file that can be opened for reading.
FileText ReadFileText(const std::string& path, std::string& text) {
    std::FILE* file = OpenRegularFileForReading(path);
    if (file == nullptr) return FileText::NotOpened;
    text.clear();
    // The size decides before anything is read (text mode only shortens it); one
    // past a long's range (-1) or a growing file meets the bound of the reading.
    const long size = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
    std::rewind(file);
    if (size > static_cast<long>(kMaxSiteFileSize)) {
        std::fclose(file);
        return FileText::TooLarge;
    }
    if (size > 0) text.reserve(static_cast<size_t>(size));
    char chunk[kReadChunkSize];
    // At most one byte past the bound: enough to know the file is past it.
    size_t count;
    while (text.size() <= kMaxSiteFileSize &&
           (count = std::fread(chunk, 1, std::min(sizeof chunk, kMaxSiteFileSize + 1 - text.size()), file)) >
               0) {
        text.append(chunk, count);
    }
    std::fclose(file);
    if (text.size() > kMaxSiteFileSize) {
        std::string().swap(text);
        return FileText::TooLarge;
    }
    return FileText::Read;
}

// An input stream buffer that reads text where it lies, instead of the copy a
// string stream would make of a whole site file. The text must outlive it, unchanged.
class TextStreamBuffer : public std::streambuf {
public:
    explicit TextStreamBuffer(std::string& text) { setg(&text[0], &text[0], &text[0] + text.size()); }
};

const char* RefusalDescription(XmlTextCheck check) {
    if (check == XmlTextCheck::HoldsNullCharacter) return kHoldsNullCharacter;
    if (check == XmlTextCheck::CdataInEndTag) return kCdataInEndTag;
    if (check == XmlTextCheck::TooManyAttributes) return kTooManyAttributes;
    if (check == XmlTextCheck::EndsInsideCharacter) return kEndsInsideCharacter;
    return kNestedTooDeeply;
}

// One call's walk: where it reports, and which Camera element stored each key
// so far (kept only for an observer).
struct ReadContext {
    const std::string& path;
    SiteConfigObserver* observer;
    std::map<std::string, const TiXmlElement*> storedBy;

    void Report(SiteConfigFindingKind kind, const TiXmlElement& element, const std::string& key = "",
                int cameraCount = 0, const TiXmlElement* replaced = nullptr) const {
        if (observer != nullptr) observer->Found({kind, &element, key, cameraCount, replaced});
    }
};

// The attribute's value read as an integer: false, leaving value alone, when it is absent or does not begin
// with a number. Values beyond the int range are held at INT_MIN or INT_MAX, as -c holds them, so that both
// builds read the same file alike and a camera numbered past the range is found by the same -c.
bool ReadIntAttribute(const TiXmlElement& element, const char* name, int& value) {
    const char* text = element.Attribute(name);
    if (text == nullptr) return false;
    ScannedInt scanned = ScanSaturatingInt(text);
    if (scanned.found) value = scanned.value;
    return scanned.found;
}

// Each setting changes only when its attribute reads as an integer.
void ReadWindowSettings(const TiXmlElement& config) {
    ClientWindowSettings& settings = TheClientWindowSettings();
    int value = 0;
    if (ReadIntAttribute(config, kAllowExpansionAttribute, value)) {
        settings.AllowExpansion = value;
        // A Height attribute, read next, replaces the sum outright.
        if (value != 0) settings.Height += kExpansionExtraHeight;
    }
    if (ReadIntAttribute(config, kWidthAttribute, value)) settings.Width = value;
    if (ReadIntAttribute(config, kHeightAttribute, value)) settings.Height = value;
    if (ReadIntAttribute(config, kLeftAttribute, value)) settings.Left = value;
    if (ReadIntAttribute(config, kTopAttribute, value)) settings.Top = value;
}

// True when the camera was stored; a camera passed over is reported to the observer.
bool ReadCamera(const TiXmlElement& camera, const std::string& systemAddress, ReadContext& context) {
    int number = 0;
    if (!ReadIntAttribute(camera, kNumberAttribute, number)) {
        context.Report(SiteConfigFindingKind::CameraNumberNotInteger, camera);
        return false;
    }
    std::string key = MakeCameraKey(systemAddress, number);
    const TiXmlElement* input = camera.FirstChildElement(kInputElement);
    if (input == nullptr) {
        context.Report(SiteConfigFindingKind::CameraInputMissing, camera, key);
        return false;
    }

    const std::string* name = input->Attribute(std::string(kNameAttribute));
    const std::string* inputNumber = input->Attribute(std::string(kNumberAttribute));
    if (name == nullptr && inputNumber == nullptr) {
        WriteLogLine(kInvalidCamera, systemAddress.c_str(), number, context.path.c_str());
        context.Report(SiteConfigFindingKind::CameraInputInvalid, camera, key);
        return false;
    }
    CameraRecord record;
    record.systemAddress = systemAddress;
    if (name != nullptr) record.inputName = *name;
    if (inputNumber != nullptr) record.inputNumber = *inputNumber;
    if (const std::string* device = input->Attribute(std::string(kDeviceAttribute))) record.device = *device;
    if (context.observer != nullptr) {
        auto earlier = context.storedBy.find(key);
        if (earlier != context.storedBy.end()) {
            context.Report(SiteConfigFindingKind::CameraReplaced, camera, key, 0, earlier->second);
        }
        context.storedBy[key] = &camera;
    }
    StoreCamera(std::move(key), std::move(record));
    return true;
}

// The number of cameras stored from this system; a system without an address is passed over whole.
int ReadSystem(const TiXmlElement& system, ReadContext& context) {
    const std::string* address = system.Attribute(std::string(kIpAddrAttribute));
    if (address != nullptr) WriteLogLine(kFoundSystem, address->c_str());
    int cameras = 0, stored = 0;
    for (const TiXmlElement* camera = system.FirstChildElement(kCameraElement); camera != nullptr;
         camera = camera->NextSiblingElement(kCameraElement)) {
        ++cameras;
        if (address != nullptr && ReadCamera(*camera, *address, context)) ++stored;
    }
    if (address == nullptr) context.Report(SiteConfigFindingKind::SystemWithoutAddress, system, "", cameras);
    return stored;
}

// The document's first element when it is "Config", else null. The extraction
// normally leaves only that one element, but a text that TinyXML misreads can
// leave later top-level elements in the document too; they are never read.
const TiXmlElement* FindConfigElement(const TiXmlDocument& document) {
    const TiXmlElement* config = document.FirstChildElement(kConfigElement);
    return config != nullptr && config == document.FirstChildElement() ? config : nullptr;
}

// Fills document from the file at path with TinyXML's stream extraction, once the text is known to be safe
// for it; false, with the refusal written, when the file cannot be read or does not parse. The text is freed
// on return, before the cameras are read out of the document.
bool ReadDocument(const std::string& path, SiteConfigObserver* observer, TiXmlDocument& document) {
    std::string text;
    FileText read = ReadFileText(path, text);
    if (read == FileText::NotOpened) {
        WriteLogLine(kCouldNotOpenFile, path.c_str());
        return false;
    }
    if (read == FileText::TooLarge) {
        WriteLogLine(kXmlError, kDocumentTooLarge);
        return false;
    }
    // TinyXML recurses once per level and would exhaust the stack on a deep
    // text; it reads an element's attributes in time square in their number.
    std::vector<size_t> startTags;
    XmlTextCheck check = CheckTextForTinyXml(text, observer != nullptr ? &startTags : nullptr);
    if (check == XmlTextCheck::Readable) {
        TextStreamBuffer buffer(text);
        std::istream stream(&buffer);
        stream >> document;
    }
    if (observer != nullptr) observer->Parsed(text, startTags, document);
    if (check != XmlTextCheck::Readable || document.Error()) {
        WriteLogLine(kXmlError,
                     check != XmlTextCheck::Readable ? RefusalDescription(check) : document.ErrorDesc());
        return false;
    }
    return true;
}

}  // namespace

bool ReadSiteConfiguration(const std::string& path, SiteConfigObserver* observer) {
    TiXmlDocument document;
    if (!ReadDocument(path, observer, document)) return false;
    const TiXmlElement* config = FindConfigElement(document);
    if (config == nullptr) {
        WriteLogLine(kConfigNotFound, path.c_str());
        return false;
    }
    WriteLogLine(kFoundConfig);
    if (observer != nullptr) observer->ConfigFound(*config);
    ReadWindowSettings(*config);

    ReadContext context{path, observer, {}};
    int stored = 0;
    for (const TiXmlElement* system = config->FirstChildElement(kSystemElement); system != nullptr;
         system = system->NextSiblingElement(kSystemElement)) {
        stored += ReadSystem(*system, context);
    }
    if (stored == 0) {
        WriteLogLine(kNoValidCamera, path.c_str());
        return false;
    }
    return true;
}
