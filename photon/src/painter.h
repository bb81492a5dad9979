// Draws a window's widget tree with an SDL renderer, scaled from design size to the output.
#pragma once

#include <SDL.h>

#include <map>

#include "text.h"
#include "widget.h"

namespace photon {

// Maps design (logical) pixels to output pixels: uniform scale, content centred.
struct Scaling {
    double scale = 1.0;
    int offsetX = 0;
    int offsetY = 0;

    SDL_Rect toPixels(const Rect& rect) const;
    int toPixels(double length) const;
    // Output pixel to design pixel.
    void toLogical(int px, int py, int& x, int& y) const;
};

// The scaling that fits a design size into an output size.
Scaling fitScaling(int designW, int designH, int outputW, int outputH);

class Painter {
  public:
    explicit Painter(SDL_Renderer* renderer) : renderer_(renderer), text_(renderer) {}
    ~Painter();
    Painter(const Painter&) = delete;
    Painter& operator=(const Painter&) = delete;

    // Draws the tree of `root` (the window) over the whole output.
    void paint(PtWidget* root, const Scaling& scaling, const PtWidget* focus);

    // The face of a widget's font at the current scale.
    TTF_Font* fontOf(const PtWidget* widget);
    // Pixel size of the widget's font at the current scale.
    int fontPixels(const PtWidget* widget) const;
    // Height in design pixels of one line of the widget's font.
    int lineHeight(const PtWidget* widget);
    // The wrapped lines of a multi-line text at the current scale.
    std::vector<std::string> wrappedLines(const PtWidget* widget);

  private:
    void paintWidget(PtWidget* widget, const Rect& clip);
    void fill(const Rect& rect, long colour);
    void bevel(const Rect& rect, int width, uint32_t light, uint32_t dark);
    void drawImage(const PtWidget* widget, const Rect& content);
    // Draws lines of text in the content rectangle with the widget's alignment and colour,
    // the first line `firstRowY` design pixels below the aligned place.
    void drawLines(const PtWidget* widget, const std::vector<std::string>& lines,
                   const Rect& content, int firstRowY);
    void drawCaret(const PtWidget* widget, const Rect& content);
    void drawScrollBar(const PtWidget* widget, const Rect& content, int textHeight);
    // The picture as a texture of exactly `size` output pixels, scaled once and kept, so that
    // each frame only copies it.
    SDL_Texture* imageTexture(const PhImage_t* image, SDL_Point size);

    SDL_Renderer* renderer_;
    TextCache text_;
    struct ImageKey {
        const uint8_t* pixels;
        int w;
        int h;
        auto operator<=>(const ImageKey&) const = default;
    };
    std::map<ImageKey, SDL_Texture*> images_;
    Scaling scaling_;
    const PtWidget* focus_ = nullptr;
};

// Width in design pixels of the scroll bar of a multi-line text that does not fit.
inline constexpr int kScrollBarWidth = 12;

}  // namespace photon
