// A top-level window: the SDL window (or, headless, a plain surface) that shows one module's
// widget tree, with its renderer and painter.
#pragma once

#include <SDL.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "painter.h"
#include "widget.h"

namespace photon {

// Where and how big a window opens; unset fields take the design values.
struct Placement {
    std::optional<int> x;
    std::optional<int> y;
    std::optional<int> w;
    std::optional<int> h;
    char state = 'n';  // 'i' iconified, 'm' maximized, 'n' normal
};

class Window {
  public:
    // Opens a window for the tree of `root` (a PtWindow). Headless windows draw into a surface
    // of the design size times `headlessScale`. Null, with `error` set, when SDL refuses.
    static std::unique_ptr<Window> open(PtWidget* root, const Placement& placement, bool headless,
                                        double headlessScale, std::string& error);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    PtWidget* root() const { return root_; }
    // The SDL window id; headless windows get ids of their own, which SDL never gives out.
    uint32_t id() const { return sdlWindow_ ? SDL_GetWindowID(sdlWindow_) : headlessId_; }
    void markDirty() { dirty_ = true; }
    bool dirty() const { return dirty_; }

    // Draws the whole tree and shows it; `focus` is the text field that shows a caret.
    void redraw(const PtWidget* focus);
    // The title of the root widget has changed.
    void updateTitle();
    // Brings the window in front of the other windows of the desktop.
    void raise();
    // Window coordinates of an event (points) to design coordinates.
    void toLogical(int x, int y, int& logicalX, int& logicalY) const;
    // Size of the output in pixels.
    int outputWidth() const { return outputW_; }
    int outputHeight() const { return outputH_; }
    // The output size or the window size has changed (window events); scales anew.
    void updateScaling();
    // The drawn pixel at an output position as 0x00RRGGBB, or 0 outside the output.
    uint32_t readPixel(int x, int y);
    // The drawn pixels as 0x00RRGGBB, row after row; valid after a redraw.
    bool readPixels(std::vector<uint32_t>& pixels, int& width, int& height);
    Painter& painter() { return *painter_; }
    const Scaling& scaling() const { return scaling_; }

  private:
    Window() = default;

    PtWidget* root_ = nullptr;
    SDL_Window* sdlWindow_ = nullptr;
    uint32_t headlessId_ = 0;
    SDL_Surface* surface_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    std::unique_ptr<Painter> painter_;
    Scaling scaling_;
    int outputW_ = 0;
    int outputH_ = 0;
    bool dirty_ = true;
};

}  // namespace photon
