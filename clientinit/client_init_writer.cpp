#include "client_init_writer.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "run_log.h"

namespace {

constexpr char kCameraNotFoundLine[] =
    "Cmd line input System:Camera %s not found in XML configuration file.\n";
constexpr char kWriteErrorLine[] = "Error writing file %s.  Error %s\n";
constexpr char kAccessNotCarriedLine[] = "Access of %s was not carried over to the new document.\n";

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

// Temporary names: "~", the owner's process id in kProcessIdDigits base-36
// digits, one base-36 try digit, ".tmp". That is thirteen characters, as many as
// the document's own name (nVCmdLine.xml), so the temporary file's path is never
// longer than the document's and no path limit can refuse the one and not the
// other. Seven digits hold any 32-bit process id (36^7 > 2^32); the digits are
// lower case only, as Windows names ignore case.
constexpr char kTemporaryNameStart[] = "~";
constexpr char kTemporaryNameEnd[] = ".tmp";
constexpr char kNameDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr unsigned long kNameBase = sizeof kNameDigits - 1;
constexpr int kProcessIdDigits = 7;

// Wraps like the 32-bit arithmetic of the machine instead of overflowing, which
// C++ leaves undefined for int.
int WrappingSum(int a, int b, int subtrahend) {
    std::uint32_t sum = static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b) -
                        static_cast<std::uint32_t>(subtrahend);
    return static_cast<std::int32_t>(sum);
}

// The name of a temporary file of this process, for the given try.
std::string TemporaryName(unsigned long processId, unsigned long attempt) {
    std::string digits(kProcessIdDigits, kNameDigits[0]);
    for (int at = kProcessIdDigits - 1; at >= 0 && processId > 0; --at, processId /= kNameBase) {
        digits[at] = kNameDigits[processId % kNameBase];
    }
    return kTemporaryNameStart + digits + kNameDigits[attempt % kNameBase] + kTemporaryNameEnd;
}

// The owner's process id, when name is exactly of the temporary names' form.
bool OwnerOfTemporaryName(const std::string& name, unsigned long& processId) {
    const std::string start = kTemporaryNameStart;
    const std::string end = kTemporaryNameEnd;
    const std::string::size_type digitCount = kProcessIdDigits + 1;
    if (name.size() != start.size() + digitCount + end.size() || name.compare(0, start.size(), start) != 0 ||
        name.compare(name.size() - end.size(), end.size(), end) != 0) {
        return false;
    }
    std::uint64_t value = 0;
    for (std::string::size_type at = start.size(); at < start.size() + digitCount; ++at) {
        const char* digit = std::strchr(kNameDigits, name[at]);
        if (digit == nullptr || name[at] == '\0') return false;
        if (at < start.size() + kProcessIdDigits) {
            value = value * kNameBase + static_cast<std::uint64_t>(digit - kNameDigits);
        }
    }
    // No process id is wider than 32 bits: a larger value is not one of ours.
    if (value > 0xffffffffu) return false;
    processId = static_cast<unsigned long>(value);
    return true;
}

// A run killed between creating its temporary file and the rename leaves the file
// behind; a later run removes it. A file stays while its owner still runs (it
// may be writing it) and while that cannot be told; a process id that was used
// again only keeps a stale file a while longer. Nothing here is a failure of the
// write, so its errors are passed over; a name that cannot be told from a link
// stays too (see RemoveFile).
void RemoveStaleTemporaryFiles(const std::string& directory) {
    std::vector<std::string> names;
    if (!ListRegularFiles(directory, names)) return;
    for (const std::string& name : names) {
        unsigned long owner = 0;
        if (OwnerOfTemporaryName(name, owner) && ProcessHasEnded(owner)) RemoveFile(directory + name);
    }
}

// outputPath up to and including its last separator: empty when it has none.
std::string DirectoryPart(const std::string& outputPath) {
    const std::string::size_type separator = outputPath.rfind(PathSeparator());
    return separator == std::string::npos ? std::string() : outputPath.substr(0, separator + 1);
}

// A new file of this process in directory, beside the document so that the final
// rename stays on one file system. A name that is taken, by a file of an earlier
// run with the same process id or by anything planted there, is passed over for
// the next try; null, with the reason, once every try is taken or on any other
// failure.
NewFilePointer CreateTemporaryFile(const std::string& directory, FILE*& stream, std::string& reason) {
    const unsigned long owner = CurrentProcessId();
    for (unsigned long attempt = 0; attempt < kNameBase; ++attempt) {
        bool nameTaken = false;
        NewFilePointer file =
            CreateNewTextFile(directory + TemporaryName(owner, attempt), stream, nameTaken, reason);
        if (file || !nameTaken) return file;
    }
    return nullptr;
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

bool WriteClientInitDocument(const char* outputPath, int cameraNumber, std::string systemText, int beginTime,
                             int endTime, bool live) {
    TiXmlDocument document;
    return BuildClientInitDocument(document, cameraNumber, systemText, beginTime, endTime, live) &&
           SaveClientInitDocument(document, outputPath);
}

// Prints the document into a temporary file and renames that over outputPath.
// The temporary file first takes the earlier document's permissions, so the
// rename changes nobody's access to it; where they cannot be read, that is
// logged and the run goes on. Every check on the stream comes before the
// rename, so a file that was cut short (a full disk shows only at flush or
// close) never replaces a good one. On any failure the temporary file goes when
// `file` does, by what created it.
bool SaveClientInitDocument(const TiXmlDocument& document, const char* outputPath) {
    const std::string directory = DirectoryPart(outputPath);
    RemoveStaleTemporaryFiles(directory);
    std::string reason;
    FILE* stream = nullptr;
    const NewFilePointer file = CreateTemporaryFile(directory, stream, reason);
    if (!file) {
        LogWriteError(outputPath, document, reason);
        return false;
    }
    bool accessCarried = true;
    bool written = GiveFileThePermissionsOf(stream, outputPath, accessCarried, reason);
    if (!accessCarried) WriteLogLine(kAccessNotCarriedLine, outputPath);
    if (written && !(document.SaveFile(stream) && std::fflush(stream) == 0 && std::ferror(stream) == 0)) {
        written = false;
        reason = LastErrorText();
    }
    if (std::fclose(stream) != 0 && written) {
        written = false;
        reason = LastErrorText();
    }
    if (written && MoveNewFileOver(*file, outputPath, reason)) return true;
    LogWriteError(outputPath, document, reason);
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
