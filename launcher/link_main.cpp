// KestrupLink: what a kestrup: link opens. The same pass as Kestrup's, for one
// link, built as a GUI program so that a click opens no console window.
#include "launcher.h"
#include "platform.h"

int main(int argc, char* argv[]) {
    KeepLargeBlocksInHeap();
    RunLinkLauncher(argc, argv);
    return 0;
}
