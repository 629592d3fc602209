// Kestrup: opens the video client on one camera, as the command line asks.
#include "launcher.h"
#include "platform.h"

int main(int argc, char* argv[]) {
    KeepLargeBlocksInHeap();
    RunLauncher(argc, argv);
    return 0;
}
