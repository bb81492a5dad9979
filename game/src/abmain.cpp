// The application's static frame, interpreted by the run time.
#include "abmain.h"

const char ApOptions[] = "s:x:y:h:w:S:";

const ApClassTab_t ClassTable[] = {
    {"PtWindow", PtWindow},       {"PtLabel", PtLabel}, {"PtPane", PtPane},
    {"PtTimer", PtTimer},         {"PtText", PtText},   {"PtButton", PtButton},
    {"PtMultiText", PtMultiText}, {nullptr, nullptr},
};

PtWidget_t* AbWidgets[AbWidgetCount] = {};

ApContext_t AbContext = {ClassTable, 1, AbWidgets, {0, 0, 0, 0, 0}};

int num_images = 5;
int cur_image = 0;

namespace {

// A code link: `function` runs when `widget` raises `reason`.
constexpr ApLink_t codeLink(const char* widget, long reason, ApCallbackF* function) {
    return {Ap_LINK_CODE, 0, 0, {0, 0}, nullptr, 0, widget, reason, function, 0, 0, {0, 0, 0}};
}

// A hotkey link: `function` runs when `key` is typed to `widget`.
constexpr ApLink_t hotkeyLink(const char* widget, int key, ApCallbackF* function) {
    return {Ap_LINK_CODE, Ap_LINK_SUBTYPE_HOTKEY, key,      {0, 0}, nullptr, 0,
            widget,       Pt_CB_HOTKEY,           function, 0,      0,       {0, 0, 0}};
}

constexpr ApLink_t endLink() {
    return {};
}

}  // namespace

const ApModule_t Aboutbx = {"Aboutbx.wgtd", &AbContext, nullptr, 41, 0};
const ApModule_t Veredodi = {"Veredodi.wgtp", &AbContext, nullptr, 36, 0};

const ApLink_t AbLinks_base1[] = {
    codeLink("base1", Pt_CB_REALIZED, open_window1),
    hotkeyLink("base1", 'p', Pausa),
    hotkeyLink("base1", 's', Resum),
    codeLink("PtLabel2", Pt_CB_ACTIVATE, loose),
    codeLink("PtDummy", Pt_CB_ACTIVATE, Dummy1),
    codeLink("PtBeginner", Pt_CB_ACTIVATE, Begin1),
    codeLink("PtNormal", Pt_CB_ACTIVATE, Normal1),
    codeLink("PtDominator", Pt_CB_ACTIVATE, Dominat1),
    codeLink("PtG1", Pt_CB_ACTIVATE, ok1),
    codeLink("PtOpzioni", Pt_CB_ACTIVATE, Opzioni1),
    {Ap_LINK_DIALOG,
     0,
     0,
     {0, 0},
     &Aboutbx,
     0,
     "PtAbout",
     Pt_CB_ACTIVATE,
     nullptr,
     0,
     9,
     {0, 0, 0}},
    codeLink("PtEsci", Pt_CB_ACTIVATE, esci),
    codeLink("PtGame", Pt_CB_ACTIVATE, clic1),
    codeLink("PtTimer1", Pt_CB_TIMER_ACTIVATE, movim1),
    codeLink("PtNo", Pt_CB_ACTIVATE, Invio),
    endLink(),
};

const ApModule_t base1 = {"base1.wgtw", &AbContext, AbLinks_base1, 0, 15};

const ApLink_t AbApplLinks[] = {
    {Ap_LINK_WINDOW, 0, 0, {0, 0}, &base1, 0, nullptr, 0, nullptr, 0, 9, {0, 0, 0}},
    endLink(),
};

ApLink_t AbInternalLinks[] = {
    {Ap_LINK_PICTURE, 0, 0, {0, 0}, &Veredodi, 0, nullptr, 0, nullptr, 0, 0, {0, 0, 0}},
    endLink(),
};
