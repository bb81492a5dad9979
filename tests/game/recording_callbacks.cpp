// The game's callbacks as recorders: each notes its name, so that tests of the skeleton see
// which links fired without the game's rules acting on the widgets.
#include "recording_callbacks.h"

#include "abmain.h"

std::vector<std::string>& firedCallbacks() {
    static std::vector<std::string> fired;
    return fired;
}

#define RECORDING_CALLBACK(name)                          \
    int name(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) { \
        firedCallbacks().push_back(#name);                \
        return 0;                                         \
    }

RECORDING_CALLBACK(open_window1)
RECORDING_CALLBACK(Pausa)
RECORDING_CALLBACK(Resum)
RECORDING_CALLBACK(loose)
RECORDING_CALLBACK(Dummy1)
RECORDING_CALLBACK(Begin1)
RECORDING_CALLBACK(Normal1)
RECORDING_CALLBACK(Dominat1)
RECORDING_CALLBACK(ok1)
RECORDING_CALLBACK(Opzioni1)
RECORDING_CALLBACK(esci)
RECORDING_CALLBACK(clic1)
RECORDING_CALLBACK(movim1)
RECORDING_CALLBACK(Invio)
RECORDING_CALLBACK(resetgame)
