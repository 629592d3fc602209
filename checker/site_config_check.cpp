#include "site_config_check.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include <tinyxml.h>

#include "camera_directory.h"
#include "request_run.h"
#include "run_log.h"
#include "saturating_int.h"
#include "site_config_reader.h"

namespace {

constexpr int kCheckClean = 0;
constexpr int kCheckWarnings = 1;
constexpr char kWarning[] = ": warning: ";
constexpr char kError[] = ": error: ";
constexpr char kNote[] = ": note: ";
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
constexpr char kElementPassedOver[] = " element passed over";
constexpr char kAttributePassedOver[] = " attribute passed over";
constexpr char kDidYouMean[] = "; did you mean ";
constexpr char kSecondInput[] = "second Input passed over; only the first counts";
constexpr char kSpaceAtAnEnd[] = " has white space at an end, which is kept";
constexpr char kReadAs[] = " is read as ";
constexpr char kNotANumber[] = " is not a number; passed over";
constexpr char kDefaultPortHeld[] = " holds the default port, which a request leaves out of its key; write ";
constexpr char kSaveAs[] = "; save it as UTF-8 or ANSI";
constexpr char kFileIs[] = "the file is ";

// How an attribute's value is checked. Setting: a window setting, whose value a
// run passes over when it is no number; Number: the camera's, which the reader
// reports itself; Trimmed: text that white space at an end spoils.
enum class Value { Text, Trimmed, Setting, Number };
struct ReadAttribute {
    const char* name;
    Value value;
};
// The elements a run reads, each inside the one before it, and their attributes.
struct ReadElement {
    const char* name;
    ReadAttribute attributes[5];
};
const ReadElement kReadElements[] = {
    {kConfigElement,
     {{kAllowExpansionAttribute, Value::Setting},
      {kWidthAttribute, Value::Setting},
      {kHeightAttribute, Value::Setting},
      {kLeftAttribute, Value::Setting},
      {kTopAttribute, Value::Setting}}},
    {kSystemElement, {{kIpAddrAttribute, Value::Trimmed}}},
    {kCameraElement, {{kNumberAttribute, Value::Number}}},
    {kInputElement,
     {{kNameAttribute, Value::Trimmed}, {kNumberAttribute, Value::Trimmed}, {kDeviceAttribute, Value::Text}}},
};

bool SameLetter(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

// Edits from a to b, letter case aside: a letter added, dropped or changed, or two neighbours swapped.
size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min(
                {d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + !SameLetter(a[i - 1], b[j - 1])});
            if (i > 1 && j > 1 && SameLetter(a[i - 1], b[j - 2]) && SameLetter(a[i - 2], b[j - 1])) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

// A name that differs from known in letter case, or by a letter (two, past four letters).
bool NearMiss(std::string_view name, std::string_view known) {
    const size_t allowed = known.size() > 4 ? 2 : 1;
    const size_t apart = name.size() > known.size() ? name.size() - known.size() : known.size() - name.size();
    return name != known && apart <= allowed && EditDistance(name, known) <= allowed;
}

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// "UTF-32" or "UTF-16" for a text that begins as one (by its byte order mark or its zero bytes), else null.
const char* WideEncoding(const std::string& text) {
    auto byte = [&text](size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 1; };
    if ((byte(0) == 0 && byte(1) == 0) || (text.size() >= 4 && byte(2) == 0 && byte(3) == 0)) return "UTF-32";
    const bool mark = (byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF);
    return mark || byte(0) == 0 || byte(1) == 0 ? "UTF-16" : nullptr;
}

// Collects what a run passes over as warnings with their lines, and what stops it.
class FindingCollector : public SiteConfigObserver, private TiXmlVisitor {
public:
    explicit FindingCollector(const std::string& path) : path_(path) {}

    // The line (from 1) of each element's '<', in the order TinyXML built them.
    // The file's own lines, whatever its bytes: TinyXML's rows go astray after
    // bytes that are not UTF-8. LF, CR LF and a lone CR each end a line.
    void Parsed(const std::string& text, const std::vector<size_t>& startTags,
                const TiXmlDocument& document) override {
        int line = 1;
        size_t counted = 0;
        for (size_t offset : startTags) {
            for (; counted < offset; ++counted) {
                if (text[counted] == '\n' || (text[counted] == '\r' && text[counted + 1] != '\n')) ++line;
            }
            startTagLines_.push_back(line);
        }
        // Where TinyXML stopped reading; an empty document has no such place.
        if (document.Error() && document.ErrorId() != TiXmlBase::TIXML_ERROR_DOCUMENT_EMPTY) {
            errorPlace_ =
                ":" + std::to_string(document.ErrorRow()) + ":" + std::to_string(document.ErrorCol());
        }
        if (const char* encoding = WideEncoding(text)) {
            encodingNote_ = path_ + kNote + kFileIs + encoding + kSaveAs + "\n";
        }
    }

    void ConfigFound(const TiXmlElement& config) override {
        config.GetDocument()->Accept(this);
        configFound_ = true;
        Lint(config, kReadElements);
    }

    void Found(const SiteConfigFinding& finding) override {
        std::string text = Describe(finding);
        if (finding.replaced != nullptr) text += std::to_string(LineOf(*finding.replaced));
        Warn(*finding.element, std::move(text));
    }

    bool ConfigRead() const { return configFound_; }
    int Warnings() const { return static_cast<int>(warnings_.size()); }

    // The warnings in the order of their lines, each kind in document order.
    std::string WarningLines() {
        std::stable_sort(warnings_.begin(), warnings_.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::string lines;
        for (const auto& [line, text] : warnings_)
            lines += path_ + ":" + std::to_string(line) + kWarning + text + "\n";
        return lines;
    }

    // The run log's refusal, with the place TinyXML stopped and the file's encoding when either is known.
    std::string ErrorLines(std::string refusal) const {
        if (!refusal.empty() && refusal.back() == '\n') refusal.pop_back();
        return path_ + errorPlace_ + kError + refusal + "\n" + encodingNote_;
    }

private:
    // TinyXML visits its elements in document order: they are the first of the start tags.
    bool VisitEnter(const TiXmlElement& element, const TiXmlAttribute*) override {
        if (matched_ < startTagLines_.size()) lineOf_[&element] = startTagLines_[matched_++];
        return true;
    }

    // An element the start tags do not reach keeps TinyXML's own row.
    int LineOf(const TiXmlElement& element) const {
        auto found = lineOf_.find(&element);
        return found != lineOf_.end() ? found->second : element.Row();
    }

    void Warn(const TiXmlElement& element, std::string text) {
        warnings_.emplace_back(LineOf(element), std::move(text));
    }

    // What a run passes over in and under element without a word.
    void Lint(const TiXmlElement& element, const ReadElement* read) {
        for (const TiXmlAttribute* attribute = element.FirstAttribute(); attribute != nullptr;
             attribute = attribute->Next()) {
            const std::string& name = attribute->NameTStr();
            const std::string near = Nearest(name, *read);
            if (!near.empty()) Warn(element, name + kAttributePassedOver + kDidYouMean + near + "?");
        }
        for (const ReadAttribute& known : read->attributes) {
            const std::string* value = known.name ? element.Attribute(std::string(known.name)) : nullptr;
            if (value != nullptr) CheckValue(element, known, *value);
        }
        const ReadElement* inner = read + 1;
        if (inner == std::end(kReadElements)) return;
        bool inputSeen = false;
        for (const TiXmlElement* child = element.FirstChildElement(); child != nullptr;
             child = child->NextSiblingElement()) {
            const std::string& name = child->ValueStr();
            if (name != inner->name) {
                const std::string hint =
                    NearMiss(name, inner->name) ? std::string(kDidYouMean) + inner->name + "?" : "";
                Warn(*child, name + kElementPassedOver + hint);
            } else if (name == kInputElement && std::exchange(inputSeen, true)) {
                Warn(*child, kSecondInput);
            } else {
                Lint(*child, inner);
            }
        }
    }

    // The attribute of read that name is likely meant for, unless name is one of them.
    static std::string Nearest(const std::string& name, const ReadElement& read) {
        std::string near;
        for (const ReadAttribute& known : read.attributes) {
            if (known.name == nullptr) break;
            if (name == known.name) return "";
            if (near.empty() && NearMiss(name, known.name)) near = known.name;
        }
        return near;
    }

    void CheckValue(const TiXmlElement& element, const ReadAttribute& known, const std::string& value) {
        const std::string shown = std::string(known.name) + "=\"" + value + "\"";
        const std::string defaultPort = ":" + std::to_string(kDefaultPort);
        if (known.value == Value::Trimmed) {
            if (!value.empty() && (IsSpace(value.front()) || IsSpace(value.back()))) {
                Warn(element, shown + kSpaceAtAnEnd);
            }
            const size_t host = value.size() - std::min(value.size(), defaultPort.size());
            if (std::string_view(known.name) == kIpAddrAttribute && host > 0 &&
                value.compare(host, std::string::npos, defaultPort) == 0) {
                Warn(element,
                     shown + kDefaultPortHeld + kIpAddrAttribute + "=\"" + value.substr(0, host) + "\"");
            }
        } else if (known.value != Value::Text) {
            const ScannedInt scanned = ScanSaturatingInt(value);
            if (!scanned.found && known.value == Value::Setting) Warn(element, shown + kNotANumber);
            if (scanned.found && !scanned.whole)
                Warn(element, shown + kReadAs + std::to_string(scanned.value));
        }
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
    std::vector<int> startTagLines_;
    size_t matched_ = 0;
    std::unordered_map<const TiXmlElement*, int> lineOf_;
    bool configFound_ = false;
    std::string errorPlace_;    // ":ROW:COLUMN" of an XML error
    std::string encodingNote_;  // for a text that begins as UTF-16 or UTF-32
    std::vector<std::pair<int, std::string>> warnings_;
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
    // The run log's lines are captured, not kept: a refusal is reported in a run's own words.
    std::string logged;
    SetRunLogToText(logged);
    FindingCollector collector(path);
    const bool stored = ReadSiteConfiguration(path, &collector);
    CloseRunLog();
    if (!collector.ConfigRead()) {
        report = collector.ErrorLines(logged);
        return kCheckUnreadable;
    }
    report = collector.WarningLines();
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
    return stored && collector.Warnings() == 0 ? kCheckClean : kCheckWarnings;
}
