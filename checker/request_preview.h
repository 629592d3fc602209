// The preview behind `kestrup-check FILE OPTIONS...`: what a run with these options and -f FILE would log and
// write, worked out by the run's own deciding code, with nothing saved, started or logged.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// arguments are the request's arguments: options, or a link alone, as RequestArguments gives them with
// linkGiven. Joined, each followed by a space, as a run joins them, they stand for the command line text in
// the lines that show it. Prints to out each line the run would log after its banner and command line, as
// "log: " and the line, then the client init document the run would save, when it would save one. A help
// request prints nothing: the run would print its usage text and stop. Returns 0 when the run would start the
// client, 1 when it would stop before.
int PreviewRequest(const std::string& configPath, const std::vector<std::string>& arguments, bool linkGiven,
                   std::FILE* out);
