// The run time's state: the application context, the widget database, the open windows and
// picture modules, and the pointer and keyboard focus. One instance per process, used from the
// thread of PtMainLoop only.
#pragma once

#include <SDL.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "photon/db/widget_db.h"
#include "window.h"

namespace photon {

// How the run time meets the outside world; tests change it before ApInitialize.
struct RuntimeConfig {
    // Draw into plain surfaces instead of SDL windows; events come from handleEvent only.
    bool headless = false;
    double headlessScale = 1.0;
    // File holding the widget database: a program file with the section "QNX_PhAB", or the
    // packed database itself.
    std::string databasePath = "/proc/self/exe";
    // Called by PtExit instead of ending the process, when set.
    std::function<void(int)> exitHandler;
};

// A module shown in a window of its own.
struct OpenWindow {
    const ApModule_t* module = nullptr;
    std::unique_ptr<Window> window;
    std::vector<int> widgetSlots;  // positions filled in the widget table
};

struct Runtime {
    RuntimeConfig config;
    ApContext_t* context = nullptr;
    Placement placement;  // of the first window, from the options
    std::shared_ptr<const db::Database> database;
    std::vector<OpenWindow> windows;
    std::vector<std::unique_ptr<ApDBase_t>> pictureModules;
    PtWidget* pressed = nullptr;  // the widget that took the pointer press
    PtWidget* focus = nullptr;    // the text field that takes typed keys
};

Runtime& runtime();

// Opens a module of the widget database in a window of its own, as window and dialog links do.
// Returns its root widget, or null (with a message on standard error) when it cannot.
PtWidget* openModule(const ApModule_t* module);
// Closes the window of a module: its widgets are destroyed and their table entries cleared.
void closeWindow(PtWidget* root);
// The open window showing that root, or null.
OpenWindow* findWindow(const PtWidget* root);
// Draws every window that has pending changes.
void redrawDirty();
// Handles one event: pointer, keys, window events. Runs the callbacks it fires.
void handleEvent(const SDL_Event& event);
// Closes every window and picture module and forgets the database: back to the state before
// ApInitialize, with the same configuration.
void resetRuntime();

}  // namespace photon

struct ApDBase {
    const photon::db::Module* module = nullptr;
    std::shared_ptr<const photon::db::Database> database;  // keeps the pictures alive
    std::vector<std::unique_ptr<PhImage_t>> images;
};
