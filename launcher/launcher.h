// The program's one pass: start-up (program directory, command line text, help,
// run log, banner), then the request run, then the close of the run log.
#pragma once

// Runs the whole pass and gives the exit status, which is always 0. A help
// request prints the usage text and ends the process with exit(0).
int RunLauncher(int argc, char* argv[]);
