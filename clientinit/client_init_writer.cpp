#include "client_init_writer.h"

#include <cstdint>
#include <cstdio>

#include "document_slots.h"
#include "run_log.h"

namespace {

constexpr char kCameraNotFoundLine[] =
    "Cmd line input System:Camera %s not found in XML configuration file.\n";
constexpr char kWriteErrorLine[] = "Error writing file %s.  Error %s\n";

constexpr char kRootElement[] = "NorvaneInit";
constexpr char kLiveElement[] = "Live";
constexpr char kSearchElement[] = "Search";
constexpr char kSystemElement[] = "System";
constexpr char kVideoElement[] = "Video";
constexpr char kInputElement[] = "Input";

constexpr char kTopAttribute[] = "Top";
constexpr char kLeftAttribute[] = "Left";
constexpr char kWidthAttribute[] = "Width";
constexpr char kHeightAttribute[] = "Height";
// The root's switches that the client always gets off, in their order.
constexpr const char* const kRootSwitchesOff[] = {"Maximize", "ShowNavPanel", "ShowToolbars", "FullScreen",
                                                  "AllowAccelerators"};
constexpr char kStartAttribute[] = "Start";
constexpr char kEndAttribute[] = "End";
constexpr char kAllowExpansionAttribute[] = "AllowExpansion";
constexpr char kNameAttribute[] = "Name";
constexpr char kNumberAttribute[] = "Number";
constexpr char kDeviceAttribute[] = "Device";
constexpr char kPositionAttribute[] = "Position";
constexpr char kOff[] = "0";
constexpr char kFirstPosition[] = "0";

constexpr int kNotConfigured = -1;

// Wraps like the 32-bit arithmetic of the machine instead of overflowing, which C++ leaves undefined for int.
int WrappingSum(int a, int b, int subtrahend) {
    std::uint32_t sum = static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b) -
                        static_cast<std::uint32_t>(subtrahend);
    return static_cast<std::int32_t>(sum);
}

// The document's own error description, or else the operating system's reason:
// a document built in memory has none, and an empty reason tells nobody anything.
void LogWriteError(const std::string& outputPath, const TiXmlDocument& document,
                   const std::string& systemReason) {
    std::string reason = document.ErrorDesc();
    if (reason.empty()) reason = systemReason;
    WriteLogLine(kWriteErrorLine, outputPath.c_str(), reason.c_str());
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

// Every check on the stream comes before the move, so a file cut short (a full
// disk shows only at flush or close) never replaces a good one.
bool SaveClientInitDocument(const TiXmlDocument& document, const char* outputPath, std::string& savedPath) {
    std::string reason;
    FILE* stream = nullptr;
    savedPath = outputPath;
    const TemporaryFilePointer file = CreateTemporaryFile(outputPath, stream, reason);
    if (!file) {
        LogWriteError(outputPath, document, reason);
        return false;
    }
    bool written = document.SaveFile(stream) && std::fflush(stream) == 0 && std::ferror(stream) == 0;
    if (!written) reason = LastErrorText();
    if (std::fclose(stream) != 0 && written) {
        written = false;
        reason = LastErrorText();
    }
    if (written && KeepInFreeSlot(*file, outputPath, savedPath, reason)) return true;
    LogWriteError(savedPath, document, reason);
    return false;
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
    const bool byName = !camera.inputName.empty();
    TiXmlElement* input =
        FindOrAddChildWithAttribute(video, kInputElement, byName ? kNameAttribute : kNumberAttribute,
                                    byName ? camera.inputName : camera.inputNumber);
    if (!byName && !camera.device.empty()) input->SetAttribute(kDeviceAttribute, camera.device);
    input->SetAttribute(kPositionAttribute, kFirstPosition);
    return true;
}
