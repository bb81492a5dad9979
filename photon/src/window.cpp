#include "window.h"

#include <algorithm>
#include <cmath>

namespace photon {

std::unique_ptr<Window> Window::open(PtWidget* root, const Placement& placement, bool headless,
                                     double headlessScale, std::string& error) {
    std::unique_ptr<Window> window(new Window);
    window->root_ = root;
    const int designW = std::max<int>(1, root->dim.w);
    const int designH = std::max<int>(1, root->dim.h);
    // A size given in one dimension only keeps the design's proportions; headless windows
    // without a size are the design size times their scale.
    const double defaultScale = headless ? headlessScale : 1.0;
    int w = placement.w.value_or(
        placement.h ? static_cast<int>(std::lround(*placement.h * double(designW) / designH))
                    : static_cast<int>(std::lround(designW * defaultScale)));
    int h = placement.h.value_or(
        placement.w ? static_cast<int>(std::lround(*placement.w * double(designH) / designW))
                    : static_cast<int>(std::lround(designH * defaultScale)));
    w = std::max(1, w);
    h = std::max(1, h);
    if (headless) {
        static uint32_t nextHeadlessId = 0x40000000;
        window->headlessId_ = nextHeadlessId++;
        window->surface_ = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_XRGB8888);
        if (window->surface_) {
            window->renderer_ = SDL_CreateSoftwareRenderer(window->surface_);
        }
    } else {
        Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
        flags |= placement.state == 'i'   ? SDL_WINDOW_MINIMIZED
                 : placement.state == 'm' ? SDL_WINDOW_MAXIMIZED
                                          : 0;
        window->sdlWindow_ =
            SDL_CreateWindow(root->title.c_str(), placement.x.value_or(SDL_WINDOWPOS_CENTERED),
                             placement.y.value_or(SDL_WINDOWPOS_CENTERED), w, h, flags);
        if (window->sdlWindow_) {
            window->renderer_ = SDL_CreateRenderer(window->sdlWindow_, -1, 0);
            if (!window->renderer_) {
                window->renderer_ =
                    SDL_CreateRenderer(window->sdlWindow_, -1, SDL_RENDERER_SOFTWARE);
            }
        }
    }
    if (!window->renderer_) {
        error = SDL_GetError();
        return nullptr;
    }
    SDL_SetRenderDrawBlendMode(window->renderer_, SDL_BLENDMODE_BLEND);
    window->painter_ = std::make_unique<Painter>(window->renderer_);
    window->updateScaling();
    return window;
}

Window::~Window() {
    painter_.reset();
    if (renderer_) {
        SDL_DestroyRenderer(renderer_);
    }
    if (sdlWindow_) {
        SDL_DestroyWindow(sdlWindow_);
    }
    if (surface_) {
        SDL_FreeSurface(surface_);
    }
}

void Window::updateScaling() {
    SDL_GetRendererOutputSize(renderer_, &outputW_, &outputH_);
    scaling_ = fitScaling(root_->dim.w, root_->dim.h, outputW_, outputH_);
    dirty_ = true;
}

void Window::redraw(const PtWidget* focus) {
    painter_->paint(root_, scaling_, focus);
    SDL_RenderPresent(renderer_);
    dirty_ = false;
}

void Window::updateTitle() {
    if (sdlWindow_) {
        SDL_SetWindowTitle(sdlWindow_, root_->title.c_str());
    }
}

void Window::raise() {
    if (sdlWindow_) {
        SDL_RestoreWindow(sdlWindow_);
        SDL_RaiseWindow(sdlWindow_);
    }
}

void Window::toLogical(int x, int y, int& logicalX, int& logicalY) const {
    // Events come in window points; on high-resolution screens a point is several pixels.
    int pointsW = outputW_;
    int pointsH = outputH_;
    if (sdlWindow_) {
        SDL_GetWindowSize(sdlWindow_, &pointsW, &pointsH);
    }
    int px = pointsW > 0 ? x * outputW_ / pointsW : x;
    int py = pointsH > 0 ? y * outputH_ / pointsH : y;
    scaling_.toLogical(px, py, logicalX, logicalY);
}

uint32_t Window::readPixel(int x, int y) {
    if (x < 0 || y < 0 || x >= outputW_ || y >= outputH_) {
        return 0;
    }
    if (surface_) {
        // The software renderer draws straight into the surface.
        const auto* row = reinterpret_cast<const uint32_t*>(
            static_cast<const uint8_t*>(surface_->pixels) + y * surface_->pitch);
        return row[x] & 0xFFFFFF;
    }
    uint32_t pixel = 0;
    SDL_Rect one{x, y, 1, 1};
    SDL_RenderReadPixels(renderer_, &one, SDL_PIXELFORMAT_XRGB8888, &pixel, 4);
    return pixel & 0xFFFFFF;
}

bool Window::readPixels(std::vector<uint32_t>& pixels, int& width, int& height) {
    width = outputW_;
    height = outputH_;
    pixels.assign(static_cast<std::size_t>(width) * height, 0);
    if (surface_) {
        // The software renderer draws straight into the surface.
        SDL_LockSurface(surface_);
        for (int y = 0; y < height; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(
                static_cast<const uint8_t*>(surface_->pixels) + y * surface_->pitch);
            for (int x = 0; x < width; ++x) {
                pixels[static_cast<std::size_t>(y) * width + x] = row[x] & 0xFFFFFF;
            }
        }
        SDL_UnlockSurface(surface_);
        return true;
    }
    return SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_XRGB8888, pixels.data(),
                                width * 4) == 0;
}

}  // namespace photon
