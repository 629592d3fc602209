#include "request_run.h"

#include <cstdint>
#include <ctime>

#include "client_init_writer.h"
#include "cmdline_options.h"
#include "date_time_parser.h"
#include "platform.h"
#include "run_log.h"
#include "saturating_int.h"
#include "site_config_reader.h"

namespace {

constexpr char kDocumentName[] = "nVCmdLine.xml";
constexpr char kClientName[] = "norvclient.exe";
// The client's one argument names its document: "-FnVCmdLine.xml" when alone.
constexpr char kDocumentOption[] = "-F";
constexpr char kDateTimeFormat[] = "%m%d%Y%T";
constexpr int kHighestPort = 65535;

constexpr char kLinkReadAs[] = "Link read as options: %s\n";
constexpr char kLinkRefused[] = "Link refused: %s\n";
constexpr char kCameraMissing[] = "Camera number not specified on command line: %s\n";
constexpr char kSystemMissing[] = "Search system IP addr not specified on command line: %s\n";
constexpr char kDateMissing[] = "Search date not specified on command line: %s\n";
constexpr char kBeginMissing[] = "Search begin time not specified on command line: %s\n";
constexpr char kEndMissing[] = "Search end time not specified on command line: %s\n";
constexpr char kNotReadInFull[] = "Search date and time %s could not be read in full\n";
constexpr char kOutOfRange[] = "Search date and time %s is outside the supported range\n";
constexpr char kClientNotStarted[] = "Could not start client %s: %s\n";

// Calendar times travel as signed 32-bit seconds; both builds read from 1970 UTC
// (where the Windows C runtime's mktime starts) to 19 January 2038 03:14:07 UTC.
bool FitsCalendarTime32(std::time_t time) { return time >= 0 && time <= INT32_MAX; }

// One outside that range is -1, the value that already stands for "no time".
int ToCalendarTime32(std::time_t time) { return FitsCalendarTime32(time) ? static_cast<int>(time) : -1; }

// The date text joined with a time text, parsed and converted to local calendar
// time. Text the parser could not read leaves its fields 0, as they started.
int SearchTime(const std::string& dateText, const std::string& timeText) {
    const std::string joined = dateText + timeText;
    std::tm record{};
    const char* end = ParseDateTime(joined.c_str(), kDateTimeFormat, &record);
    if (end == nullptr || *end != '\0') WriteLogLine(kNotReadInFull, joined.c_str());
    std::time_t time = 0;
    if (!LocalCalendarTime(record, time) || !FitsCalendarTime32(time)) {
        WriteLogLine(kOutOfRange, joined.c_str());
        return -1;
    }
    return static_cast<int>(time);
}

// Every option of a request is obtained here: from a link's values when the run was given a link, otherwise
// from the option text. Found or not, the rest of the run reads the same either way.
bool GetRequestOption(const std::string& optionText, const std::optional<LinkValues>& link, const char* name,
                      std::string& value) {
    if (!link) return GetCmdLineOption(optionText, name, value);
    const auto found = link->find(name);
    value = found == link->end() ? "" : found->second;
    return found != link->end();
}

// The -s value with ":" and the -p text appended, when that text converts to a
// port other than the default (1 to 65535, not 22609).
std::string FormSystemText(const std::string& serverText, bool portGiven, const std::string& portText) {
    if (!portGiven) return serverText;
    int port = SaturatingAtoi(portText);
    if (port <= 0 || port > kHighestPort || port == kDefaultPort) return serverText;
    return serverText + ":" + portText;
}

}  // namespace

bool ReadLinkArguments(const std::vector<std::string>& arguments, std::optional<LinkValues>& link,
                       bool linkGiven) {
    if (!linkGiven) return true;
    std::string refusal = kLinkNotAlone;
    LinkValues values;
    if (arguments.size() == 1 && ReadRequestLink(arguments.front(), values, refusal)) {
        WriteLogLine(kLinkReadAs, EquivalentOptions(values).c_str());
        link = values;
        return true;
    }
    WriteLogLine(kLinkRefused, refusal.c_str());
    return false;
}

bool DecideRequest(const RunContext& request, TiXmlDocument& document) {
    std::string cameraText, serverText, dateText, beginText, endText;
    // In this order: the first one missing ends the run with its message, which closes the log.
    const struct {
        const char* name;
        const char* missing;
        std::string& value;
    } required[] = {{"c", kCameraMissing, cameraText},
                    {"s", kSystemMissing, serverText},
                    {"d", kDateMissing, dateText},
                    {"b", kBeginMissing, beginText},
                    {"e", kEndMissing, endText}};
    for (const auto& option : required) {
        if (!GetRequestOption(request.optionText, request.link, option.name, option.value)) {
            WriteLogLine(option.missing, request.commandLineText.c_str());
            CloseRunLog();
            return false;
        }
    }
    // As atoi reads it, held at the ends of the int range: no number gives 0.
    const int cameraNumber = SaturatingAtoi(cameraText);

    std::string portText;
    const bool portGiven = GetRequestOption(request.optionText, request.link, "p", portText);
    const std::string systemText = FormSystemText(serverText, portGiven, portText);

    const bool live = dateText == kLiveDate;
    const int beginTime = live ? ToCalendarTime32(std::time(nullptr)) : SearchTime(dateText, beginText);
    const int endTime = live ? 0 : SearchTime(dateText, endText);

    if (!ReadSiteConfiguration(request.configPath)) return false;
    return BuildClientInitDocument(document, cameraNumber, systemText, beginTime, endTime, live);
}

void RunRequest(RunContext& context) {
    if (!GetRequestOption(context.optionText, context.link, "f", context.configPath)) {
        context.configPath = ProgramFilePath(context, kDefaultConfigName);
    }
    TiXmlDocument document;
    if (!DecideRequest(context, document)) return;

    const std::string documentPath = ProgramFilePath(context, kDocumentName);
    std::string savedPath;
    if (!SaveClientInitDocument(document, documentPath.c_str(), savedPath)) return;

    const std::string clientPath = ProgramFilePath(context, kClientName);
    const std::string clientArgument =
        kDocumentOption + savedPath.substr(savedPath.rfind(PathSeparator()) + 1);
    std::string errorText;
    if (!StartProgram(clientPath, clientArgument, context.programDirectory, errorText)) {
        WriteLogLine(kClientNotStarted, ProgramCommandLine(clientPath, clientArgument).c_str(),
                     errorText.c_str());
    }
}
