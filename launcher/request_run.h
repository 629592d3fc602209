// The request run: reads the request's options, forms the system text and the
// time window, has the site configuration read and the client init document
// written, and starts the client.
#pragma once

#include <string>

#include "run_context.h"

// Runs the request after the banner and gives the exit status (0). Every end
// of the run is logged; the caller closes the run log.
int RunRequest(const RunContext& context);

// The -s value with ":" and the -p text appended, when that text converts to a
// port other than the default (1 to 65535, not 22609).
std::string FormSystemText(const std::string& serverText, bool portGiven, const std::string& portText);
