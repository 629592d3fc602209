#include "site_config_check.h"

#include <cstdio>
#include <vector>

#include <tinyxml.h>

#include "camera_directory.h"
#include "element_lines.h"
#include "platform.h"
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

constexpr size_t kReadChunkSize = 64 * 1024;

// The file as the reader reads it: whole, in text mode. Empty when it cannot be read.
std::string ReadFileText(const std::string& path) {
    std::string text;
    std::FILE* file = OpenRegularFileForReading(path);
    if (file == nullptr) return text;
    std::vector<char> chunk(kReadChunkSize);
    size_t count;
    while ((count = std::fread(chunk.data(), 1, chunk.size(), file)) > 0) text.append(chunk.data(), count);
    std::fclose(file);
    return text;
}

// Collects the reader's findings as diagnostic lines, in the order it makes them.
class FindingCollector : public SiteConfigObserver {
public:
    explicit FindingCollector(const std::string& path) : path_(path) {}

    void Refused(const std::string& reason) override {
        refused_ = true;
        errorLine_ += path_ + kError + reason + "\n";
    }

    // The elements live only during the read, and their lines are found after
    // it: only their positions, and how TinyXML counted them, are kept.
    void Found(const SiteConfigFinding& finding) override {
        if (warnings_.empty()) rules_ = CursorRulesOf(*finding.element->GetDocument());
        warnings_.push_back({Describe(finding), positions_.size(), finding.replaced != nullptr});
        positions_.push_back({finding.element->Row(), finding.element->Column()});
        if (finding.replaced != nullptr)
            positions_.push_back({finding.replaced->Row(), finding.replaced->Column()});
    }

    bool RefusedFile() const { return refused_; }
    int Findings() const { return static_cast<int>(warnings_.size()); }

    // The error line, or a line for each finding with the file's own line
    // numbers: TinyXML's rows go astray after bytes that are not UTF-8.
    std::string Lines() const {
        if (warnings_.empty()) return errorLine_;
        const std::vector<int> lines = ElementLines(ReadFileText(path_), rules_, positions_);
        std::string text = errorLine_;
        for (const Warning& warning : warnings_) {
            text += path_ + ":" + std::to_string(lines[warning.position]) + kWarning + warning.description;
            if (warning.replaces) text += std::to_string(lines[warning.position + 1]);
            text += "\n";
        }
        return text;
    }

private:
    struct Warning {
        std::string description;  // ends in " at line " when a line follows
        size_t position;          // of the element, then of the one it replaces
        bool replaces;
    };

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
    CursorRules rules_;
    std::vector<Warning> warnings_;
    std::vector<ElementPosition> positions_;
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
