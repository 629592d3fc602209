#include "site_config_check.h"

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
class FindingCollector : public SiteConfigObserver {
public:
    explicit FindingCollector(const std::string& path) : path_(path) {}

    void Refused(const std::string& reason) override {
        refused_ = true;
        lines_ += path_ + kError + reason + "\n";
    }

    void Found(const SiteConfigFinding& finding) override {
        ++findings_;
        lines_ += path_ + ":" + std::to_string(finding.element->Row()) + kWarning + Describe(finding) + "\n";
    }

    bool RefusedFile() const { return refused_; }
    int Findings() const { return findings_; }
    const std::string& Lines() const { return lines_; }

private:
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
            return kCameraPrefix + finding.key + kReplaces + std::to_string(finding.replaced->Row());
        }
        return "";
    }

    const std::string& path_;
    bool refused_ = false;
    int findings_ = 0;
    std::string lines_;
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
              SettingText("Top", settings.Top) + SettingText("AllowExpansion", settings.AllowExpansion) + "\n";
    return stored && collector.Findings() == 0 ? kCheckClean : kCheckWarnings;
}
