// The application-builder run time: opens an application's modules from the widget database
// carried in its own program file, and fires the application's links (code, window, dialog and
// picture links) on widget events, hotkeys and timers.
//
// An application provides, as static data: a context (class table and widget table), one module
// descriptor per module, and link tables. Its `main` calls ApInitialize, ApLinkWindow and
// PtMainLoop, in this order. All operations run on the thread of PtMainLoop.
#pragma once

#include "photon/Pt.h"

// What a callback is told about the link that fired it.
struct ApInfo_t {
    long reason;  // the link's callback reason
};

// The shape of every application callback. Returns 0, or another value the run time ignores.
typedef int ApCallbackF(PtWidget_t* widget, ApInfo_t* info, PtCallbackInfo_t* cbinfo);

// One entry of the class table: a class name of the widget database and the class object.
// The table ends with an entry of two nulls.
struct ApClassTab_t {
    const char* name;
    PtWidgetClassRef_t* class_ref;
};

// The application context.
struct ApContext_t {
    const ApClassTab_t* class_table;
    int version;            // 1
    PtWidget_t** widgets;   // the widget table, filled by the run time as modules open
    long run_time_data[5];  // 0 at start; the run time's own
};

struct ApLink_t;

// One module of the widget database, as the application knows it.
struct ApModule_t {
    const char* file_name;  // e.g. "base1.wgtw"; the extension gives the kind of module
    ApContext_t* context;   // the application context
    const ApLink_t* links;  // the module's link table, or null
    int first_index;        // position of the module's widget index 0 in the widget table
    int num_links;          // link records in `links`, the end record not counted
};

// Link types.
inline constexpr int Ap_LINK_END = 0;
inline constexpr int Ap_LINK_WINDOW = 3;    // open a window module
inline constexpr int Ap_LINK_DIALOG = 4;    // open a dialog module on the widget's event
inline constexpr int Ap_LINK_CODE = 8;      // call a function on the widget's event
inline constexpr int Ap_LINK_PICTURE = 11;  // name a picture module for ApOpenDBase

// Link subtype of a hotkey link.
inline constexpr int Ap_LINK_SUBTYPE_HOTKEY = 2;

// A link record. A link table is an array of these ended by a record that is all zero.
struct ApLink_t {
    int type;                  // one of the Ap_LINK_ types
    int subtype;               // Ap_LINK_SUBTYPE_HOTKEY on hotkey links, else 0
    int key;                   // the hotkey's character, else 0
    int reserved4[2];          // 0
    const ApModule_t* target;  // the module a window, dialog or picture link opens
    int reserved7;             // 0
    const char* widget_name;   // the widget whose event the link serves (code and dialog links)
    long reason;               // the callback reason that fires the link
    ApCallbackF* function;     // the function of a code link
    int reserved11;            // 0
    int window_flags;          // 9 on window and dialog links, else 0
    int reserved13[3];         // 0
};

// The run time's global application record. `main` clears `startup_flags` before
// ApInitialize; no flag is defined, so the run time starts the same either way.
struct ApGlobals_t {
    long reserved[2];
    int startup_flags;
};
extern ApGlobals_t _Ap_;

// The option string of the application: letters the run time accepts, each followed by ':'.
// The application defines it; without it the run time uses "s:x:y:h:w:S:".
extern "C" const char ApOptions[];

// Reads the options (-s server, -x and -y position, -w and -h size, -S state i, m or n),
// connects to the display and takes the context. A bad option prints the usage text carried in
// the program file's section "QNX_usage" (with "%C" replaced by the command name) on standard
// error and exits with status 2; an unreachable display prints one line and exits with 1.
// Returns 0.
int ApInitialize(int argc, char* argv[], ApContext_t* context);

// Carries out the window links of `links` from position `index` to the end record: each opens
// its module (creates the widgets, fills the widget table, installs the module's links, shows
// the window and fires its realized callback). Returns the window opened last, or null when a
// module cannot be opened.
PtWidget_t* ApLinkWindow(PtWidget_t* parent, const ApLink_t* links, int index);

// An open picture module.
struct ApDBase;
typedef struct ApDBase ApDBase_t;

// Opens the picture module that the picture link `link` names, without showing it. Returns
// null when the module is not in the widget database.
ApDBase_t* ApOpenDBase(const ApLink_t* link);

// The picture of the named label of an open picture module, valid while the module stays open,
// or null when no widget of that name carries a picture.
PhImage_t* ApGetImageRes(ApDBase_t* database, const char* widget_name);

// Closes a picture module; its pictures become invalid. Returns 0.
int ApCloseDBase(ApDBase_t* database);
