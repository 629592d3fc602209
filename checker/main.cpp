// kestrup-check FILE: what Kestrup makes of a site configuration file.
// kestrup-check FILE OPTIONS...: what a run with those options and -f FILE
// would log and write; kestrup-check FILE LINK: the same for a kestrup: link.
#include <cstdio>
#include <string>
#include <vector>

#include "launcher.h"
#include "platform.h"
#include "request_preview.h"
#include "site_config_check.h"

namespace {

constexpr char kProgramName[] = "kestrup-check";
constexpr char kUsage[] = "usage: kestrup-check FILE [KESTRUP-OPTIONS... | LINK]\n";
constexpr char kShortHelpOption[] = "-h";
constexpr char kLongHelpOption[] = "--help";
// Only where "/" marks options, as for Kestrup itself (Windows).
constexpr char kSlashHelpOption[] = "/?";
constexpr char kVersionOption[] = "--version";
constexpr char kOptionStart = '-';
// As for a FILE that cannot be read: the check has nothing to read.
constexpr int kUsageError = kCheckUnreadable;

bool AsksForHelp(const std::string& argument) {
    return argument == kShortHelpOption || argument == kLongHelpOption ||
           (SlashMarksOptions() && argument == kSlashHelpOption);
}

// How a file whose name begins with "-" is named so that it is not taken for
// an option: "./-name", or ".\-name" on Windows.
std::string AsRelativePath(const std::string& name) { return std::string(".") + PathSeparator() + name; }

void PrintHelp() {
    std::string options = std::string(kShortHelpOption) + " | " + kLongHelpOption;
    if (SlashMarksOptions()) options += std::string(" | ") + kSlashHelpOption;
    std::printf("%s       %s %s | %s\n", kUsage, kProgramName, options.c_str(), kVersionOption);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return kUsageError;
    }
    const std::string first = argv[1];
    if (AsksForHelp(first)) {
        PrintHelp();
        return 0;
    }
    if (first == kVersionOption) {
        std::printf("%s v%s\n", kProgramName, ProgramVersionText().c_str());
        return 0;
    }
    if (first[0] == kOptionStart) {
        std::fprintf(stderr, "%s: FILE comes first, not %s (a file named %s is given as %s)\n%s",
                     kProgramName, first.c_str(), first.c_str(), AsRelativePath(first).c_str(), kUsage);
        return kUsageError;
    }
    if (argc > 2) {
        bool linkGiven = false;
        const std::vector<std::string> arguments = RequestArguments(argc, argv, 2, linkGiven);
        return PreviewRequest(first, arguments, linkGiven, stdout);
    }
    std::string report;
    const int status = CheckSiteConfiguration(first, report);
    std::fputs(report.c_str(), stdout);
    return status;
}
