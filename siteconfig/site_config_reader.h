// Reads the site configuration file into the camera directory and the client
// window settings (camera_directory.h).
#pragma once

#include <string>
#include <vector>

class TiXmlDocument;
class TiXmlElement;

// The names the reader reads, matched exactly, case included.
inline constexpr char kConfigElement[] = "Config";
inline constexpr char kSystemElement[] = "System";
inline constexpr char kCameraElement[] = "Camera";
inline constexpr char kInputElement[] = "Input";
inline constexpr char kAllowExpansionAttribute[] = "AllowExpansion";
inline constexpr char kWidthAttribute[] = "Width";
inline constexpr char kHeightAttribute[] = "Height";
inline constexpr char kLeftAttribute[] = "Left";
inline constexpr char kTopAttribute[] = "Top";
inline constexpr char kIpAddrAttribute[] = "IPAddr";
inline constexpr char kNumberAttribute[] = "Number";
inline constexpr char kNameAttribute[] = "Name";
inline constexpr char kDeviceAttribute[] = "Device";

// What the reader passes over, or stores over an earlier camera, as it walks the document. The kinds map one
// to one onto the reader's own decisions, so a tool that reports them cannot disagree with what a run stores.
enum class SiteConfigFindingKind {
    SystemWithoutAddress,    // the System and all its cameras are passed over
    CameraNumberNotInteger,  // Number absent or not an integer
    CameraInputMissing,      // no Input element
    CameraInputInvalid,      // Input has neither Name nor Number
    CameraReplaced,          // stored over a camera read earlier in this call
};

struct SiteConfigFinding {
    SiteConfigFindingKind kind;
    const TiXmlElement* element;             // the System or Camera concerned
    std::string key;                         // camera key, where the camera has one
    int cameraCount = 0;                     // SystemWithoutAddress: its Camera elements
    const TiXmlElement* replaced = nullptr;  // CameraReplaced: the earlier Camera
};

// Told about a read as it happens. The elements live only during the call.
class SiteConfigObserver {
public:
    virtual ~SiteConfigObserver() = default;
    // The text once read, before any finding; the offset in it of each element's
    // '<' (TinyXML's elements, in document order, are the first of these); and
    // the document: parsed, in error, or empty when the text was refused unparsed.
    virtual void Parsed(const std::string& text, const std::vector<size_t>& startTags,
                        const TiXmlDocument& document) = 0;
    // The element a run reads; never called for a file that is not a site configuration.
    virtual void ConfigFound(const TiXmlElement& config) = 0;
    virtual void Found(const SiteConfigFinding& finding) = 0;
};

// True when at least one camera was stored during this call. May change the window settings and add to the
// camera directory; writes what it finds, and each camera it rejects, to the run log while the log is
// present. An observer, when given, changes nothing of this.
bool ReadSiteConfiguration(const std::string& path, SiteConfigObserver* observer = nullptr);
