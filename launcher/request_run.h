// The request run, in two parts. The deciding part reads the request's options,
// forms the system text and the time window, has the site configuration read
// and builds the client init document; the acting part saves the document and
// starts the client. A preview of a request runs the deciding part alone.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <tinyxml.h>

#include "request_link.h"

#include "run_context.h"

// What a request is worked out from.
struct RequestText {
    std::string optionText;          // what the options are looked up in
    std::string commandLineText;     // what the line for a missing option shows
    std::string configPath;          // the site configuration to read
    std::optional<LinkValues> link;  // when given, the options' values instead of optionText
};

// Reads the request's arguments for a link, when they hold one (linkGiven, as
// RequestArguments tells). True when the run goes on: with link untouched when
// they hold none, or with link set when a link is the only argument and is
// accepted (the options it was read as are logged). False when a link is
// refused: why is logged.
bool ReadLinkArguments(const std::vector<std::string>& arguments, std::optional<LinkValues>& link,
                       bool linkGiven);

// The deciding part. Writes each of its lines to the run log at the moment it
// decides it (a missing option ends the run with its message, which closes the
// log); saves nothing and starts nothing. True, with document built, when the
// run goes on to save it and start the client; false when the run ends here.
bool DecideRequest(const RequestText& request, TiXmlDocument& document);

// Runs the request after the banner and gives the exit status (0). Every end
// of the run is logged; the caller closes the run log.
int RunRequest(const RunContext& context);

// The -s value with ":" and the -p text appended, when that text converts to a
// port other than the default (1 to 65535, not 22609).
std::string FormSystemText(const std::string& serverText, bool portGiven, const std::string& portText);
