// Temporary bodies that let applications link while the run time is being written: nothing is
// opened or drawn yet.
#include <cstdlib>

#include "photon/Ap.h"

struct PtWidgetClass {
    const char* name;
};

namespace {
PtWidgetClass classes[7] = {{"PtWindow"}, {"PtLabel"},  {"PtPane"},     {"PtTimer"},
                            {"PtText"},   {"PtButton"}, {"PtMultiText"}};
}

PtWidgetClassRef_t* const PtWindow = &classes[0];
PtWidgetClassRef_t* const PtLabel = &classes[1];
PtWidgetClassRef_t* const PtPane = &classes[2];
PtWidgetClassRef_t* const PtTimer = &classes[3];
PtWidgetClassRef_t* const PtText = &classes[4];
PtWidgetClassRef_t* const PtButton = &classes[5];
PtWidgetClassRef_t* const PtMultiText = &classes[6];

ApGlobals_t _Ap_;

int _PtSetResource(PtWidget_t*, long, long, long) {
    return -1;
}
int _PtGetResource(PtWidget_t*, long, void*, long) {
    return -1;
}
int PtWidgetToFront(PtWidget_t*) {
    return -1;
}
int PtWidgetToBack(PtWidget_t*) {
    return -1;
}
int PtFlush(void) {
    return 0;
}
void PtMainLoop(void) {}
void PtExit(int status) {
    std::exit(status);
}
int ApInitialize(int, char*[], ApContext_t*) {
    return 0;
}
PtWidget_t* ApLinkWindow(PtWidget_t*, const ApLink_t*, int) {
    return nullptr;
}
ApDBase_t* ApOpenDBase(const ApLink_t*) {
    return nullptr;
}
PhImage_t* ApGetImageRes(ApDBase_t*, const char*) {
    return nullptr;
}
int ApCloseDBase(ApDBase_t*) {
    return 0;
}
