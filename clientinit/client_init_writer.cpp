#include "client_init_writer.h"

#include <cstdint>
#include <cstdio>

#include "run_log.h"

namespace {

constexpr const char kCameraNotFoundLine[] =
    "Cmd line input System:Camera %s not found in XML configuration file.\n";
constexpr const char kWriteErrorLine[] = "Error writing file %s.  Error %s\n";

constexpr const char kRootElement[] = "NorvaneInit";
constexpr const char kLiveElement[] = "Live";
constexpr const char kSearchElement[] = "Search";
constexpr const char kSystemElement[] = "System";
constexpr const char kVideoElement[] = "Video";
constexpr const char kInputElement[] = "Input";

constexpr const char kTopAttribute[] = "Top";
constexpr const char kLeftAttribute[] = "Left";
constexpr const char kWidthAttribute[] = "Width";
constexpr const char kHeightAttribute[] = "Height";
// The root's switches that the client always gets off, in their order.
constexpr const char* const kRootSwitchesOff[] = {"Maximize", "ShowNavPanel", "ShowToolbars",
                                                  "FullScreen", "AllowAccelerators"};
constexpr const char kStartAttribute[] = "Start";
constexpr const char kEndAttribute[] = "End";
constexpr const char kAllowExpansionAttribute[] = "AllowExpansion";
constexpr const char kNameAttribute[] = "Name";
constexpr const char kNumberAttribute[] = "Number";
constexpr const char kDeviceAttribute[] = "Device";
constexpr const char kPositionAttribute[] = "Position";
constexpr const char kOff[] = "0";
constexpr const char kFirstPosition[] = "0";

constexpr int kNotConfigured = -1;

constexpr const char kTemporaryFileOpenMode[] = "w";  // text mode: the platform's line ends
constexpr const char kTemporaryFileSuffix[] = ".tmp";

// Wraps like the 32-bit arithmetic of the machine instead of overflowing, which
// C++ leaves undefined for int.
int WrappingSum(int a, int b, int subtrahend) {
    std::uint32_t sum = static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b) -
                        static_cast<std::uint32_t>(subtrahend);
    return static_cast<std::int32_t>(sum);
}

// Beside the target, so that the final rename stays on one file system, and
// named for this process, so that runs that overlap never share one.
std::string TemporaryPathFor(const std::string& targetPath) {
    return targetPath + "." + std::to_string(CurrentProcessId()) + kTemporaryFileSuffix;
}

// The document's own error description, or else the operating system's reason:
// a document built in memory has none, and an empty reason tells nobody anything.
void LogWriteError(const std::string& outputPath, const TiXmlDocument& document,
                   const std::string& systemReason) {
    std::string reason = document.ErrorDesc();
    if (reason.empty()) reason = systemReason;
    WriteLogLine(kWriteErrorLine, outputPath.c_str(), reason.c_str());
}

// Prints the document into a temporary file and renames that over outputPath.
// Every check on the stream comes before the rename, so a file that was cut short
// (a full disk shows only at flush or close) never replaces a good one; on any
// failure the temporary file is removed.
bool SaveDocumentInOneStep(const TiXmlDocument& document, const std::string& outputPath) {
    const std::string temporaryPath = TemporaryPathFor(outputPath);
    FILE* file = std::fopen(temporaryPath.c_str(), kTemporaryFileOpenMode);
    if (file == nullptr) {
        LogWriteError(outputPath, document, LastErrorText());
        return false;
    }
    bool written = document.SaveFile(file) && std::fflush(file) == 0 && std::ferror(file) == 0;
    std::string reason;
    if (!written) reason = LastErrorText();
    if (std::fclose(file) != 0 && written) {
        written = false;
        reason = LastErrorText();
    }
    if (written && ReplaceFileInOneStep(temporaryPath, outputPath, reason)) return true;
    std::remove(temporaryPath.c_str());
    LogWriteError(outputPath, document, reason);
    return false;
}

}  // namespace

WindowPlace PlaceClientWindow(const ClientWindowSettings& settings, const VirtualScreen& screen) {
    if (settings.Left != kNotConfigured || settings.Top != kNotConfigured) {
        return {settings.Top, settings.Left};
    }
    return {WrappingSum(screen.top, screen.height, settings.Height),
            WrappingSum(screen.left, screen.width, settings.Width)};
}

TiXmlElement* FindOrAddChild(TiXmlNode* parent, const std::string& name) {
    if (TiXmlElement* found = parent->FirstChildElement(name)) return found;
    return parent->LinkEndChild(new TiXmlElement(name))->ToElement();
}

TiXmlElement* FindOrAddChildWithAttribute(TiXmlNode* parent, const std::string& name,
                                          const std::string& attributeName,
                                          const std::string& attributeValue) {
    for (TiXmlElement* child = parent->FirstChildElement(name); child != nullptr;
         child = child->NextSiblingElement(name)) {
        const std::string* value = child->Attribute(attributeName);
        if (value != nullptr && *value == attributeValue) return child;
    }
    auto* added = new TiXmlElement(name);
    added->SetAttribute(attributeName, attributeValue);
    return parent->LinkEndChild(added)->ToElement();
}

bool WriteClientInitDocument(const char* outputPath, int cameraNumber, std::string systemText,
                             int beginTime, int endTime, bool live) {
    TiXmlDocument document;
    return BuildClientInitDocument(document, cameraNumber, systemText, beginTime, endTime, live) &&
           SaveClientInitDocument(document, outputPath);
}

bool SaveClientInitDocument(const TiXmlDocument& document, const char* outputPath) {
    return SaveDocumentInOneStep(document, outputPath);
}

bool BuildClientInitDocument(TiXmlDocument& document, int cameraNumber, const std::string& systemText,
                             int beginTime, int endTime, bool live) {
    document.LinkEndChild(new TiXmlDeclaration());
    auto* root = document.LinkEndChild(new TiXmlElement(kRootElement))->ToElement();

    // The screen is read on every call, whether or not the placement is configured.
    const VirtualScreen screen = GetVirtualScreen();
    const ClientWindowSettings& settings = TheClientWindowSettings();
    const WindowPlace place = PlaceClientWindow(settings, screen);
    root->SetAttribute(kTopAttribute, place.top);
    root->SetAttribute(kLeftAttribute, place.left);
    root->SetAttribute(kWidthAttribute, settings.Width);
    root->SetAttribute(kHeightAttribute, settings.Height);
    for (const char* switchName : kRootSwitchesOff) root->SetAttribute(switchName, kOff);

    TiXmlElement* mode = FindOrAddChild(root, live ? kLiveElement : kSearchElement);
    if (!live) {
        mode->SetAttribute(kStartAttribute, beginTime);
        mode->SetAttribute(kEndAttribute, endTime);
        mode->SetAttribute(kAllowExpansionAttribute, settings.AllowExpansion);
    }

    const std::string cameraKey = MakeCameraKey(systemText, cameraNumber);
    const CameraRecord* found = FindCamera(cameraKey);
    if (found == nullptr) {
        WriteLogLine(kCameraNotFoundLine, cameraKey.c_str());
        return false;
    }
    const CameraRecord camera = *found;

    TiXmlElement* system = FindOrAddChildWithAttribute(mode, kSystemElement, kNameAttribute, systemText);
    TiXmlElement* video = FindOrAddChild(system, kVideoElement);
    TiXmlElement* input = nullptr;
    if (!camera.inputName.empty()) {
        input = FindOrAddChildWithAttribute(video, kInputElement, kNameAttribute, camera.inputName);
    } else {
        input = FindOrAddChildWithAttribute(video, kInputElement, kNumberAttribute, camera.inputNumber);
        if (!camera.device.empty()) input->SetAttribute(kDeviceAttribute, camera.device);
    }
    input->SetAttribute(kPositionAttribute, kFirstPosition);
    return true;
}
