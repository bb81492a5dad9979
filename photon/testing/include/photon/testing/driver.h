// Drives the run time without a display, for tests: opens an application's windows into plain
// surfaces, injects pointer presses, typed text and keys, moves a virtual clock that drives the
// timers, delay() and the real-time clock_gettime readings, and reads the drawn pixels.
//
// One Driver at a time, on the test's thread. While it lives, PtExit does not end the process:
// the exit status is recorded and the callback that called PtExit is left.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "photon/Ap.h"

namespace photon::testing {

// The virtual clock in use while a Driver lives. Its real-time reading starts at
// `realtimeStartNs` (Unix time in nanoseconds) and moves with the monotonic milliseconds.
class VirtualClock {
  public:
    uint64_t nowMs() const;
    // Moves the clock forward; timers are not fired (Driver::advance does that).
    void moveBy(uint64_t milliseconds);
    // The Unix time in nanoseconds at the current reading.
    int64_t realtimeNs() const;
    void setRealtimeNs(int64_t unixNanoseconds);
    // Makes clock_gettime(CLOCK_REALTIME) fail with that errno (0: succeed again).
    void failRealtime(int error);
};

// The name of a widget as the widget database gives it.
std::string nameOf(const PtWidget_t* widget);

class Driver {
  public:
    // `databasePath`: a packed database or a program file carrying one. `scale`: the output
    // size of each window is its design size times this.
    explicit Driver(std::string databasePath, double scale = 1.0);
    ~Driver();
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    // Runs the entry sequence of an application: ApInitialize with `arguments` (argv[0]
    // first), then ApLinkWindow(nullptr, links, 0). Returns what ApLinkWindow returns.
    PtWidget_t* start(ApContext_t* context, const ApLink_t* links,
                      const std::vector<std::string>& arguments = {"app"});

    // A left-button press and release at the middle of the widget's visible part, in the
    // widget's window. False (and nothing sent) when no part of it can be seen.
    bool click(PtWidget_t* widget);
    // Press and release at a design-pixel point of a window (null: the first window).
    void clickAt(int x, int y, PtWidget_t* window = nullptr);
    void pressAt(int x, int y, PtWidget_t* window = nullptr);
    void releaseAt(int x, int y, PtWidget_t* window = nullptr);
    // Mouse wheel over a point; positive `steps` scroll up.
    void wheelAt(int x, int y, int steps, PtWidget_t* window = nullptr);
    // Typed text (as keyboard text input) and a pressed key, sent to a window.
    void type(const std::string& text, PtWidget_t* window = nullptr);
    void key(SDL_Keycode key, PtWidget_t* window = nullptr);
    // The window manager's close button of a window.
    void closeWindow(PtWidget_t* window);

    // Moves the virtual clock forward by `milliseconds`, firing each timer at its due time.
    void advance(uint64_t milliseconds);
    VirtualClock& clock() { return clock_; }

    // The root widgets of the open windows, first opened first.
    std::vector<PtWidget_t*> windows() const;
    // The open window of the module with that file name ("Aboutbx.wgtd"), or null.
    PtWidget_t* windowOf(const std::string& moduleFile) const;

    // Width and height in pixels of a window's output (null: the first window).
    std::pair<int, int> outputSize(PtWidget_t* window = nullptr) const;
    // The colour 0xRRGGBB drawn at the middle of a design pixel of a window (null: the first).
    uint32_t pixel(int x, int y, PtWidget_t* window = nullptr);
    // Writes a window's pixels to a PNG file. False when it cannot.
    bool savePng(const std::string& path, PtWidget_t* window = nullptr);

    // The status given to PtExit, once it was called.
    std::optional<int> exitStatus() const { return exitStatus_; }

  private:
    void send(SDL_Event& event, PtWidget_t* window);
    void button(bool pressed, int x, int y, PtWidget_t* window);
    uint32_t windowId(PtWidget_t* window) const;
    void toOutput(PtWidget_t* window, int x, int y, int& px, int& py) const;

    VirtualClock clock_;
    std::optional<int> exitStatus_;
};

}  // namespace photon::testing
