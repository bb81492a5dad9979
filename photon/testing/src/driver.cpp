#include "photon/testing/driver.h"

#include <cmath>
#include <cstring>

#include "png_writer.h"
#include "runtime.h"
#include "timers.h"
#include "virtual_clock_state.h"

namespace photon::testing {
namespace {

// Thrown by the exit handler to leave the callback that called PtExit.
struct ExitRequested {
    int status;
};

OpenWindow* openWindowOf(PtWidget_t* window) {
    Runtime& rt = runtime();
    if (!window) {
        return rt.windows.empty() ? nullptr : &rt.windows.front();
    }
    return findWindow(window);
}

}  // namespace

std::string nameOf(const PtWidget_t* widget) {
    return widget ? widget->name : std::string();
}

Driver::Driver(std::string databasePath, double scale) {
    resetRuntime();
    RuntimeConfig& config = runtime().config;
    config.headless = true;
    config.headlessScale = scale;
    config.databasePath = std::move(databasePath);
    config.exitHandler = [](int status) { throw ExitRequested{status}; };
    installVirtualClock();
}

Driver::~Driver() {
    resetRuntime();
    runtime().config = RuntimeConfig{};
    removeVirtualClock();
}

PtWidget_t* Driver::start(ApContext_t* context, const ApLink_t* links,
                          const std::vector<std::string>& arguments) {
    std::vector<std::string> copies = arguments;
    std::vector<char*> argv;
    for (std::string& argument : copies) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    try {
        ApInitialize(static_cast<int>(copies.size()), argv.data(), context);
        return ApLinkWindow(nullptr, links, 0);
    } catch (const ExitRequested& exit) {
        exitStatus_ = exit.status;
        return nullptr;
    }
}

void Driver::send(SDL_Event& event, PtWidget_t*) {
    try {
        handleEvent(event);
        redrawDirty();
    } catch (const ExitRequested& exit) {
        exitStatus_ = exit.status;
    }
}

uint32_t Driver::windowId(PtWidget_t* window) const {
    OpenWindow* open = openWindowOf(window);
    return open ? open->window->id() : 0;
}

void Driver::toOutput(PtWidget_t* window, int x, int y, int& px, int& py) const {
    OpenWindow* open = openWindowOf(window);
    Scaling scaling = open ? open->window->scaling() : Scaling{};
    // Aim at the middle of the design pixel.
    px = static_cast<int>(std::floor((x + 0.5) * scaling.scale)) + scaling.offsetX;
    py = static_cast<int>(std::floor((y + 0.5) * scaling.scale)) + scaling.offsetY;
}

bool Driver::click(PtWidget_t* widget) {
    if (!widget) {
        return false;
    }
    Rect visible = visibleRect(widget);
    if (visible.empty()) {
        return false;
    }
    PtWidget_t* root = widget;
    while (root->parent) {
        root = root->parent;
    }
    clickAt(visible.x + visible.w / 2, visible.y + visible.h / 2, root);
    return true;
}

void Driver::button(bool pressed, int x, int y, PtWidget_t* window) {
    SDL_Event event{};
    event.type = pressed ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.windowID = windowId(window);
    event.button.button = SDL_BUTTON_LEFT;
    event.button.state = pressed ? SDL_PRESSED : SDL_RELEASED;
    event.button.clicks = 1;
    toOutput(window, x, y, event.button.x, event.button.y);
    send(event, window);
}

void Driver::pressAt(int x, int y, PtWidget_t* window) {
    button(true, x, y, window);
}
void Driver::releaseAt(int x, int y, PtWidget_t* window) {
    button(false, x, y, window);
}

void Driver::clickAt(int x, int y, PtWidget_t* window) {
    pressAt(x, y, window);
    releaseAt(x, y, window);
}

void Driver::wheelAt(int x, int y, int steps, PtWidget_t* window) {
    SDL_Event event{};
    event.type = SDL_MOUSEWHEEL;
    event.wheel.windowID = windowId(window);
    event.wheel.y = steps;
    toOutput(window, x, y, event.wheel.mouseX, event.wheel.mouseY);
    send(event, window);
}

void Driver::type(const std::string& text, PtWidget_t* window) {
    SDL_Event event{};
    event.type = SDL_TEXTINPUT;
    event.text.windowID = windowId(window);
    std::strncpy(event.text.text, text.c_str(), sizeof event.text.text - 1);
    send(event, window);
}

void Driver::key(SDL_Keycode key, PtWidget_t* window) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.windowID = windowId(window);
    event.key.state = SDL_PRESSED;
    event.key.keysym.sym = key;
    send(event, window);
}

void Driver::closeWindow(PtWidget_t* window) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = windowId(window);
    event.window.event = SDL_WINDOWEVENT_CLOSE;
    send(event, window);
}

void Driver::advance(uint64_t milliseconds) {
    const uint64_t target = clock_.nowMs() + milliseconds;
    try {
        for (auto due = nextTimerDue(); due && *due <= target; due = nextTimerDue()) {
            if (*due > clock_.nowMs()) {
                clock_.moveBy(*due - clock_.nowMs());
            }
            fireDueTimers();
            redrawDirty();
        }
    } catch (const ExitRequested& exit) {
        exitStatus_ = exit.status;
    }
    // Callbacks that wait (delay) may have moved the clock past the target already.
    if (clock_.nowMs() < target) {
        clock_.moveBy(target - clock_.nowMs());
    }
    redrawDirty();
}

std::vector<PtWidget_t*> Driver::windows() const {
    std::vector<PtWidget_t*> roots;
    for (const OpenWindow& open : runtime().windows) {
        roots.push_back(open.window->root());
    }
    return roots;
}

PtWidget_t* Driver::windowOf(const std::string& moduleFile) const {
    for (const OpenWindow& open : runtime().windows) {
        if (open.module && open.module->file_name && moduleFile == open.module->file_name) {
            return open.window->root();
        }
    }
    return nullptr;
}

std::pair<int, int> Driver::outputSize(PtWidget_t* window) const {
    OpenWindow* open = openWindowOf(window);
    return open ? std::pair{open->window->outputWidth(), open->window->outputHeight()}
                : std::pair{0, 0};
}

uint32_t Driver::pixel(int x, int y, PtWidget_t* window) {
    OpenWindow* open = openWindowOf(window);
    if (!open) {
        return 0;
    }
    redrawDirty();
    int px = 0;
    int py = 0;
    toOutput(window, x, y, px, py);
    return open->window->readPixel(px, py);
}

bool Driver::savePng(const std::string& path, PtWidget_t* window) {
    OpenWindow* open = openWindowOf(window);
    if (!open) {
        return false;
    }
    redrawDirty();
    std::vector<uint32_t> pixels;
    int width = 0;
    int height = 0;
    return open->window->readPixels(pixels, width, height) && writePng(path, pixels, width, height);
}

}  // namespace photon::testing
