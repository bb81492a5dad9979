// The game's callbacks. Until the game rules are written, every callback does nothing.
#include "abmain.h"

int open_window1(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    return 0;
}
int Pausa(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    return 0;
}
int Resum(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    return 0;
}
int loose(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    return 0;
}
int Dummy1(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    return 0;
}
int Begin1(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    return 0;
}
int Normal1(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    return 0;
}
int Dominat1(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    return 0;
}
int ok1(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    return 0;
}
int Opzioni1(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    return 0;
}
int esci(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    return 0;
}
int clic1(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    return 0;
}
int movim1(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    return 0;
}
int Invio(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    return 0;
}
int resetgame(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
    return 0;
}
