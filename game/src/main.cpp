// The program entry: start the run time, open the main window, dispatch events.
#include "abmain.h"

int main(int argc, char* argv[]) {
    _Ap_.startup_flags = 0;
    ApInitialize(argc, argv, &AbContext);
    ApLinkWindow(nullptr, AbApplLinks, 0);
    PtMainLoop();
    return 0;
}
