// kestrup-check FILE: what Kestrup makes of a site configuration file.
#include <cstdio>
#include <string>

#include "site_config_check.h"

namespace {

constexpr char kUsage[] = "usage: kestrup-check FILE\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs(kUsage, stderr);
        return kCheckUnreadable;
    }
    std::string report;
    const int status = CheckSiteConfiguration(argv[1], report);
    std::fputs(report.c_str(), stdout);
    return status;
}
