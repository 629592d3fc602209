#include "request_preview.h"

#include <tinyxml.h>

#include "launcher.h"
#include "request_link.h"
#include "request_run.h"
#include "run_log.h"

namespace {

constexpr int kPreviewStartsClient = 0;
constexpr int kPreviewStopsEarly = 1;
constexpr char kLogLinePrefix[] = "log: ";

// Each line of the captured log, a last one without its line end included (the XML error line has none).
void PrintLogLines(const std::string& lines, std::FILE* out) {
    std::string::size_type start = 0;
    while (start < lines.size()) {
        auto end = lines.find('\n', start);
        if (end == std::string::npos) end = lines.size();
        std::fprintf(out, "%s%s\n", kLogLinePrefix, lines.substr(start, end - start).c_str());
        start = end + 1;
    }
}

}  // namespace

int PreviewRequest(const std::string& configPath, const std::vector<std::string>& arguments, bool linkGiven,
                   std::FILE* out) {
    RunContext request;
    request.optionText = JoinArguments(arguments);
    request.commandLineText = JoinArguments(ArgumentsAsLogged(arguments, linkGiven));
    request.configPath = configPath;
    if (!linkGiven && HelpRequested(request.optionText)) return kPreviewStopsEarly;

    std::string lines;
    SetRunLogToText(lines);
    TiXmlDocument document;
    const bool startsClient =
        ReadLinkArguments(arguments, request.link, linkGiven) && DecideRequest(request, document);
    CloseRunLog();

    PrintLogLines(lines, out);
    if (!startsClient) return kPreviewStopsEarly;
    // The call that saving the document makes, here on out.
    document.SaveFile(out);
    return kPreviewStartsClient;
}
