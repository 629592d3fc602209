// The program's one pass: start-up (program directory, command line text, help,
// run log, banner), then the request run, then the close of the run log.
#pragma once

#include <string>
#include <vector>

// Runs the whole pass (the exit status is always 0); help ends it with exit(0).
void RunLauncher(int argc, char* argv[]);

// The pass of the link program: its arguments must be one link, and what would
// go to standard error goes to the system's log.
void RunLinkLauncher(int argc, char* argv[]);

// The arguments from argv[first] on, and whether they hold a link (or are to
// be read as one: linkGiven true on entry): then they are taken as the system
// received them (ArgumentsAsReceived), so that a link is read as it was sent.
std::vector<std::string> RequestArguments(int argc, char* argv[], int first, bool& linkGiven);

// The arguments, each followed by one space: the text that options are looked
// up in, or shown as the command line.
std::string JoinArguments(const std::vector<std::string>& arguments);

// True when the options ask for help (-? or -help): a run then prints the usage
// text and ends before its log is opened.
bool HelpRequested(const std::string& optionText);

// The program's version as the run log's banner shows it, without the "v":
// "1.1.1.27804".
std::string ProgramVersionText();
