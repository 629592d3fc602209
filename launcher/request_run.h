// The request run, in two parts. The deciding part reads the request's options, forms the system text and the
// time window, has the site configuration read and builds the client init document; the acting part saves the
// document and starts the client. A preview of a request runs the deciding part alone.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <tinyxml.h>

#include "request_link.h"

#include "run_context.h"

// Reads the request's arguments for a link, when they hold one (linkGiven, as RequestArguments tells). True
// when the run goes on: with link untouched when they hold none, or with link set when a link is the only
// argument and is accepted (the options it was read as are logged). False when a link is refused: why is
// logged.
bool ReadLinkArguments(const std::vector<std::string>& arguments, std::optional<LinkValues>& link,
                       bool linkGiven);

// The deciding part. Writes each of its lines to the run log at the moment it decides it (a missing option
// ends the run with its message, which closes the log); saves nothing and starts nothing. True, with document
// built, when the run goes on to save it and start the client; false when the run ends here.
bool DecideRequest(const RunContext& request, TiXmlDocument& document);

// Runs the request after the banner; every end is logged, and the caller closes the log.
void RunRequest(RunContext& context);
