// kestrup-check FILE: what Kestrup makes of a site configuration file.
// kestrup-check FILE OPTIONS...: what a run with those options and -f FILE
// would log and write.
#include <cstdio>
#include <string>

#include "launcher.h"
#include "request_preview.h"
#include "site_config_check.h"

namespace {

constexpr char kUsage[] = "usage: kestrup-check FILE [KESTRUP-OPTIONS...]\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return kCheckUnreadable;
    }
    if (argc > 2) return PreviewRequest(argv[1], JoinArguments(argc, argv, 2), stdout);
    std::string report;
    const int status = CheckSiteConfiguration(argv[1], report);
    std::fputs(report.c_str(), stdout);
    return status;
}
