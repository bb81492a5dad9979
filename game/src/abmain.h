// The application's static frame: the context and class table, the widget table and the
// indices into it, the three module descriptors, the link tables, and the callbacks they bind.
#pragma once

#include "photon/Ap.h"

// Application context: class table, widget table, and words the run time owns.
extern ApContext_t AbContext;

// Class names of the widget database and the widget library's classes, ended by two nulls.
extern const ApClassTab_t ClassTable[];

// Every widget that carries a widget index, at its module's first index plus that index.
inline constexpr int AbWidgetCount = 45;
extern PtWidget_t* AbWidgets[AbWidgetCount];

// Module descriptors.
extern const ApModule_t base1;     // the main window, "base1.wgtw"
extern const ApModule_t Veredodi;  // the picture module, "Veredodi.wgtp"
extern const ApModule_t Aboutbx;   // the About dialog, "Aboutbx.wgtd"

// Link tables, each ended by an all-zero record.
extern const ApLink_t AbApplLinks[];    // opens base1 at start
extern ApLink_t AbInternalLinks[];      // the picture module, for ApOpenDBase
extern const ApLink_t AbLinks_base1[];  // the 15 links of the main window

// Position of the picture module's record in AbInternalLinks.
inline constexpr int ABI_Veredodi = 0;

// Options the run time reads from the command line.
extern "C" const char ApOptions[];

// Image counters of the game: one more than the number of gremlin pictures, and the last
// frame of the hit animation.
extern int num_images;
extern int cur_image;

// Widget indices. Module base1 starts at 0, Veredodi at 36, Aboutbx at 41.
inline constexpr int ABN_base1 = 0;
inline constexpr int ABN_PtLabel2 = 1;
inline constexpr int ABN_PtLevel = 2;
inline constexpr int ABN_PtOption = 3;
inline constexpr int ABN_PtDummy = 4;
inline constexpr int ABN_PtBeginner = 5;
inline constexpr int ABN_PtNormal = 6;
inline constexpr int ABN_PtDominator = 7;
inline constexpr int ABN_PtPunti1 = 8;
inline constexpr int ABN_PtPunti2 = 9;
inline constexpr int ABN_PtPunti4 = 10;
inline constexpr int ABN_PtPunti3 = 11;
inline constexpr int ABN_PtNome1 = 12;
inline constexpr int ABN_PtNome2 = 13;
inline constexpr int ABN_PtNome3 = 14;
inline constexpr int ABN_PtNome4 = 15;
inline constexpr int ABN_PtG2 = 16;
inline constexpr int ABN_PtG1 = 17;
inline constexpr int ABN_PtBlack = 18;
inline constexpr int ABN_PtOpzioni = 19;
inline constexpr int ABN_PtAbout = 20;
inline constexpr int ABN_PtEsci = 21;
inline constexpr int ABN_PtGame = 22;
inline constexpr int ABN_PtTimer1 = 23;
inline constexpr int ABN_PtScore = 24;
inline constexpr int ABN_PtSec1 = 25;
inline constexpr int ABN_PtGover = 26;
inline constexpr int ABN_PtGo = 27;
inline constexpr int ABN_PtSpet = 28;
inline constexpr int ABN_PtLivellod = 29;
inline constexpr int ABN_PtRecord1 = 30;
inline constexpr int ABN_PtNome = 31;
inline constexpr int ABN_Ptd1 = 32;
inline constexpr int ABN_Ptd3 = 33;
inline constexpr int ABN_PtScorec = 34;
inline constexpr int ABN_PtNo = 35;
inline constexpr int ABN_Veredodi = 36;
inline constexpr int ABN_PtGrem1 = 37;
inline constexpr int ABN_PtGrem2 = 38;
inline constexpr int ABN_PtGrem3 = 39;
inline constexpr int ABN_PtGrem4 = 40;
inline constexpr int ABN_Aboutbx = 41;
inline constexpr int ABN_about = 42;
inline constexpr int ABN_PtHelp1 = 43;
inline constexpr int ABN_PtTitl = 44;

// The game's callbacks.
ApCallbackF open_window1;  // main window realized
ApCallbackF Pausa;         // hotkey "p"
ApCallbackF Resum;         // hotkey "s"
ApCallbackF loose;         // a click on the playing field beside the gremlin
ApCallbackF Dummy1;        // difficulty 1 chosen
ApCallbackF Begin1;        // difficulty 2 chosen
ApCallbackF Normal1;       // difficulty 3 chosen
ApCallbackF Dominat1;      // difficulty 4 chosen
ApCallbackF ok1;           // a click on the gremlin
ApCallbackF Opzioni1;      // "Options"
ApCallbackF esci;          // "Quit"
ApCallbackF clic1;         // "Start"
ApCallbackF movim1;        // the game timer's tick
ApCallbackF Invio;         // "OK" of the new-record pane
ApCallbackF resetgame;     // ends a game; called by the tick, bound to no link
