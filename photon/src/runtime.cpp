#include "runtime.h"

#include <SDL_ttf.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "clock.h"
#include "program_file.h"
#include "resources.h"
#include "timers.h"

ApGlobals_t _Ap_;

namespace photon {
namespace {

PtWidgetClassRef_t* findClass(const ApContext_t* context, const std::string& name) {
    for (const ApClassTab_t* entry = context->class_table; entry && entry->name; ++entry) {
        if (name == entry->name) {
            return entry->class_ref;
        }
    }
    return nullptr;
}

// The widget database, read from its file on first use.
const db::Database* database() {
    Runtime& rt = runtime();
    if (rt.database) {
        return rt.database.get();
    }
    auto bytes = readProgramSection(rt.config.databasePath, db::kDatabaseSection, true);
    if (!bytes) {
        std::fprintf(stderr, "photon: widget database: %s\n", bytes.error().message().c_str());
        return nullptr;
    }
    auto parsed = db::readDatabase(bytes.value());
    if (!parsed) {
        std::fprintf(stderr, "photon: widget database: %s\n", parsed.error().message().c_str());
        return nullptr;
    }
    rt.database = std::make_shared<const db::Database>(std::move(parsed.value()));
    return rt.database.get();
}

const db::Module* findModule(const ApModule_t* module) {
    const db::Database* data = database();
    if (!data || !module || !module->file_name) {
        return nullptr;
    }
    const db::Module* found = data->findModule(module->file_name);
    if (!found) {
        std::fprintf(stderr, "photon: module %s is not in the widget database\n",
                     module->file_name);
    }
    return found;
}

void setWindow(PtWidget* widget, Window* window) {
    widget->window = window;
    for (PtWidget* child : widget->children) {
        setWindow(child, window);
    }
}

void destroyTree(PtWidget* widget) {
    Runtime& rt = runtime();
    auto forget = [&](auto& self, PtWidget* w) -> void {
        if (rt.pressed == w) {
            rt.pressed = nullptr;
        }
        if (rt.focus == w) {
            rt.focus = nullptr;
        }
        forgetTimer(w);
        for (PtWidget* child : w->children) {
            self(self, child);
        }
    };
    forget(forget, widget);
    destroyWidget(widget);
}

// Creates the widgets of a stored module; fills the widget table. Null on an unknown class.
PtWidget* createTree(const db::Module& stored, const ApModule_t* module,
                     std::vector<int>& widgetSlots) {
    ApContext_t* context = module->context;
    std::vector<PtWidget*> created;
    for (std::size_t i = 0; i < stored.widgets.size(); ++i) {
        const db::Widget& w = stored.widgets[i];
        PtWidgetClassRef_t* widgetClass = findClass(context, w.className);
        if (!widgetClass) {
            std::fprintf(stderr, "photon: module %s: widget %s has the unknown class %s\n",
                         module->file_name, w.name.c_str(), w.className.c_str());
            if (!created.empty()) {
                destroyTree(created.front());
            }
            return nullptr;
        }
        auto parentIndex = stored.parentOf(i);
        PtWidget* parent = parentIndex ? created[*parentIndex] : nullptr;
        PtWidget* widget = createWidget(widgetClass, w.name, parent);
        created.push_back(widget);
        for (const db::Resource& resource : w.resources) {
            applyStoredResource(widget, resource);
        }
        if (auto index = w.widgetIndex(); index && context->widgets) {
            int slot = module->first_index + static_cast<int>(*index);
            context->widgets[slot] = widget;
            widgetSlots.push_back(slot);
        }
    }
    return created.empty() ? nullptr : created.front();
}

void installLinks(PtWidget* root, const ApModule_t* module) {
    for (int i = 0; module->links && i < module->num_links; ++i) {
        const ApLink_t& link = module->links[i];
        if (link.type == Ap_LINK_END) {
            break;
        }
        PtWidget* widget = link.widget_name ? findWidget(root, link.widget_name) : nullptr;
        if (!widget) {
            continue;
        }
        if (link.type == Ap_LINK_CODE && link.function) {
            widget->callbacks.push_back({link.reason, link.key, link.function});
        } else if (link.type == Ap_LINK_DIALOG && link.target) {
            const ApModule_t* target = link.target;
            widget->callbacks.push_back(
                {link.reason, 0, [target](PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*) {
                     // A second activation raises the dialog that is already open.
                     for (OpenWindow& open : runtime().windows) {
                         if (open.module == target) {
                             open.window->raise();
                             return 0;
                         }
                     }
                     openModule(target);
                     return 0;
                 }});
        }
    }
}

void fireRealized(PtWidget* widget) {
    invokeCallbacks(widget, Pt_CB_REALIZED);
    for (std::size_t i = 0; i < widget->children.size(); ++i) {
        fireRealized(widget->children[i]);
    }
}

}  // namespace

Runtime& runtime() {
    static Runtime instance;
    return instance;
}

PtWidget* openModule(const ApModule_t* module) {
    const db::Module* stored = findModule(module);
    if (!stored) {
        return nullptr;
    }
    Runtime& rt = runtime();
    std::vector<int> slots;
    PtWidget* root = createTree(*stored, module, slots);
    if (!root) {
        return nullptr;
    }
    installLinks(root, module);
    // The options place the application's first window only.
    Placement placement = rt.windows.empty() ? rt.placement : Placement{};
    std::string error;
    auto window = Window::open(root, placement, rt.config.headless, rt.config.headlessScale, error);
    if (!window) {
        std::fprintf(stderr, "photon: cannot open a window for %s: %s\n", module->file_name,
                     error.c_str());
        for (int slot : slots) {
            module->context->widgets[slot] = nullptr;
        }
        destroyTree(root);
        return nullptr;
    }
    setWindow(root, window.get());
    Window* shown = window.get();
    rt.windows.push_back({module, std::move(window), std::move(slots)});
    fireRealized(root);
    // The callbacks of "realized" may have closed the window again.
    if (findWindow(root)) {
        shown->redraw(rt.focus);
    }
    return root;
}

OpenWindow* findWindow(const PtWidget* root) {
    for (OpenWindow& open : runtime().windows) {
        if (open.window->root() == root) {
            return &open;
        }
    }
    return nullptr;
}

void closeWindow(PtWidget* root) {
    Runtime& rt = runtime();
    auto it = std::find_if(rt.windows.begin(), rt.windows.end(),
                           [root](const OpenWindow& open) { return open.window->root() == root; });
    if (it == rt.windows.end()) {
        return;
    }
    for (int slot : it->widgetSlots) {
        it->module->context->widgets[slot] = nullptr;
    }
    OpenWindow closing = std::move(*it);
    rt.windows.erase(it);
    destroyTree(root);
}

void redrawDirty() {
    Runtime& rt = runtime();
    for (OpenWindow& open : rt.windows) {
        if (open.window->dirty()) {
            open.window->redraw(rt.focus);
        }
    }
}

void resetRuntime() {
    Runtime& rt = runtime();
    while (!rt.windows.empty()) {
        closeWindow(rt.windows.back().window->root());
    }
    rt.pictureModules.clear();
    rt.database.reset();
    rt.pressed = nullptr;
    rt.focus = nullptr;
    rt.placement = {};
}

}  // namespace photon

using photon::runtime;

PtWidget_t* ApLinkWindow(PtWidget_t*, const ApLink_t* links, int index) {
    PtWidget_t* last = nullptr;
    for (const ApLink_t* link = links + index; link->type != Ap_LINK_END; ++link) {
        if (link->type == Ap_LINK_WINDOW) {
            last = photon::openModule(link->target);
        }
    }
    return last;
}

ApDBase_t* ApOpenDBase(const ApLink_t* link) {
    const photon::db::Module* stored = link ? photon::findModule(link->target) : nullptr;
    if (!stored) {
        return nullptr;
    }
    // The run time keeps every open picture module, so that applications that never close
    // theirs do not lose memory, and frees them when the program ends.
    auto opened = std::make_unique<ApDBase_t>();
    opened->module = stored;
    opened->database = runtime().database;
    runtime().pictureModules.push_back(std::move(opened));
    return runtime().pictureModules.back().get();
}

PhImage_t* ApGetImageRes(ApDBase_t* database, const char* widget_name) {
    if (!database || !widget_name) {
        return nullptr;
    }
    const photon::db::Picture* picture = database->module->findPicture(widget_name);
    if (!picture) {
        return nullptr;
    }
    database->images.push_back(std::make_unique<PhImage_t>(photon::imageOf(*picture)));
    return database->images.back().get();
}

int ApCloseDBase(ApDBase_t* database) {
    std::erase_if(runtime().pictureModules,
                  [database](const auto& open) { return open.get() == database; });
    return 0;
}

namespace {

int restack(PtWidget_t* widget, bool toFront) {
    if (!widget) {
        return -1;
    }
    if (widget->parent) {
        auto& siblings = widget->parent->children;
        siblings.erase(std::find(siblings.begin(), siblings.end(), widget));
        if (toFront) {
            siblings.push_back(widget);
        } else {
            siblings.insert(siblings.begin(), widget);
        }
        photon::markDirty(widget);
    }
    return 0;
}

}  // namespace

int PtWidgetToFront(PtWidget_t* widget) {
    return restack(widget, true);
}
int PtWidgetToBack(PtWidget_t* widget) {
    return restack(widget, false);
}

int PtFlush(void) {
    photon::redrawDirty();
    return 0;
}

void PtExit(int status) {
    auto& handler = runtime().config.exitHandler;
    if (handler) {
        handler(status);
    }
    photon::resetRuntime();
    TTF_Quit();
    SDL_Quit();
    std::exit(status);
}

void PtMainLoop(void) {
    photon::Runtime& rt = runtime();
    if (rt.windows.empty()) {
        std::fprintf(stderr, "photon: no window could be opened\n");
        PtExit(1);
    }
    for (;;) {
        photon::redrawDirty();
        SDL_Event event;
        bool got = false;
        if (auto due = photon::nextTimerDue()) {
            uint64_t now = photon::currentClock().nowMs();
            uint64_t wait = *due > now ? *due - now : 0;
            got = SDL_WaitEventTimeout(&event, static_cast<int>(std::min<uint64_t>(wait, INT_MAX)));
        } else {
            got = SDL_WaitEvent(&event);
        }
        if (got) {
            photon::handleEvent(event);
        }
        photon::fireDueTimers();
    }
}
