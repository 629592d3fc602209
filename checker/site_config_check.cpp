#include "site_config_check.h"

#include <unordered_map>
#include <vector>

#include <tinyxml.h>

#include "camera_directory.h"
#include "run_log.h"
#include "site_config_reader.h"

namespace {

constexpr char kWarning[] = ": warning: ";
constexpr char kError[] = ": error: ";
constexpr char kSystemWithoutAddress[] = "System without IPAddr passed over, with its ";
constexpr char kCameraWord[] = " camera";
constexpr char kPluralEnding[] = "s";
constexpr char kCameraWithoutNumber[] = "Camera without an integer Number passed over";
constexpr char kCameraPrefix[] = "Camera ";
constexpr char kWithoutInput[] = " without Input passed over";
constexpr char kInputInvalid[] = ": Input has neither Name nor Number; passed over";
constexpr char kReplaces[] = " replaces the camera at line ";
constexpr char kNoCameraStored[] = "no camera stored; a run would stop here";
constexpr char kCameraLine[] = "camera ";
constexpr char kWindowLine[] = "window:";

// Collects the reader's findings as diagnostic lines, in the order it makes them.
class FindingCollector : public SiteConfigObserver, private TiXmlVisitor {
public:
    explicit FindingCollector(const std::string& path) : path_(path) {}

    void Refused(const std::string& reason) override {
        refused_ = true;
        errorLine_ += path_ + kError + reason + "\n";
    }

    // The line (from 1) of each element's '<', in the order TinyXML built them.
    // The file's own lines, whatever its bytes: TinyXML's rows go astray after
    // bytes that are not UTF-8. LF, CR LF and a lone CR each end a line.
    void Parsed(const std::string& text, const std::vector<size_t>& startTags) override {
        int line = 1;
        size_t counted = 0;
        for (size_t offset : startTags) {
            for (; counted < offset; ++counted) {
                if (text[counted] == '\n' || (text[counted] == '\r' && text[counted + 1] != '\n')) ++line;
            }
            startTagLines_.push_back(line);
        }
    }

    // The elements live only during the read: each finding's lines are kept.
    void Found(const SiteConfigFinding& finding) override {
        if (!walked_) {
            finding.element->GetDocument()->Accept(this);
            walked_ = true;
        }
        std::string line = Describe(finding);
        if (finding.replaced != nullptr) line += std::to_string(LineOf(*finding.replaced));
        warningLines_ += path_ + ":" + std::to_string(LineOf(*finding.element)) + kWarning + line + "\n";
        ++findings_;
    }

    bool RefusedFile() const { return refused_; }
    int Findings() const { return findings_; }
    std::string Lines() const { return errorLine_ + warningLines_; }

private:
    // TinyXML visits its elements in document order: they are the first of the
    // start tags.
    bool VisitEnter(const TiXmlElement& element, const TiXmlAttribute*) override {
        if (matched_ < startTagLines_.size()) lineOf_[&element] = startTagLines_[matched_++];
        return true;
    }

    // An element the start tags do not reach keeps TinyXML's own row.
    int LineOf(const TiXmlElement& element) const {
        auto found = lineOf_.find(&element);
        return found != lineOf_.end() ? found->second : element.Row();
    }

    static std::string Describe(const SiteConfigFinding& finding) {
        switch (finding.kind) {
        case SiteConfigFindingKind::SystemWithoutAddress:
            return kSystemWithoutAddress + std::to_string(finding.cameraCount) + kCameraWord +
                   (finding.cameraCount == 1 ? "" : kPluralEnding);
        case SiteConfigFindingKind::CameraNumberNotInteger:
            return kCameraWithoutNumber;
        case SiteConfigFindingKind::CameraInputMissing:
            return kCameraPrefix + finding.key + kWithoutInput;
        case SiteConfigFindingKind::CameraInputInvalid:
            return kCameraPrefix + finding.key + kInputInvalid;
        case SiteConfigFindingKind::CameraReplaced:
            return kCameraPrefix + finding.key + kReplaces;
        }
        return "";
    }

    const std::string& path_;
    bool refused_ = false;
    std::string errorLine_;
    std::string warningLines_;
    int findings_ = 0;
    std::vector<int> startTagLines_;
    size_t matched_ = 0;
    bool walked_ = false;  // the document, once, at the first finding
    std::unordered_map<const TiXmlElement*, int> lineOf_;
};

// ` Field="value"` for a field that holds something.
std::string FieldText(const char* field, const std::string& value) {
    return value.empty() ? "" : std::string(" ") + field + "=\"" + value + "\"";
}

std::string SettingText(const char* setting, int value) {
    return std::string(" ") + setting + "=" + std::to_string(value);
}

}  // namespace

int CheckSiteConfiguration(const std::string& path, std::string& report) {
    // The check writes no run log; its report is all it says.
    SetRunLogOff();
    FindingCollector collector(path);
    const bool stored = ReadSiteConfiguration(path, &collector);
    report = collector.Lines();
    if (collector.RefusedFile()) return kCheckUnreadable;
    if (!stored) report += path + kWarning + kNoCameraStored + "\n";

    for (const auto& [key, record] : TheCameraDirectory()) {
        report += kCameraLine + key + ":" + FieldText("Name", record.inputName) +
                  FieldText("Number", record.inputNumber) + FieldText("Device", record.device) + "\n";
    }
    const ClientWindowSettings& settings = TheClientWindowSettings();
    report += std::string(kWindowLine) + SettingText("Width", settings.Width) +
              SettingText("Height", settings.Height) + SettingText("Left", settings.Left) +
              SettingText("Top", settings.Top) + SettingText("AllowExpansion", settings.AllowExpansion) +
              "\n";
    return stored && collector.Findings() == 0 ? kCheckClean : kCheckWarnings;
}
