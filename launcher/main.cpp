// Kestrup: opens the video client on one camera, as the command line asks.
#include "launcher.h"

int main(int argc, char* argv[]) { return RunLauncher(argc, argv); }
