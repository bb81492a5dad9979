// Text for the painter: fonts by toolkit name, rendered lines cached as textures, and the
// layout of single- and multi-line texts.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include <map>
#include <string>
#include <vector>

namespace photon {

// Point size of a toolkit font name "TextFontNNba" (NN in two digits); 10 for anything else.
int pointSizeOf(const std::string& fontName);

// Pixels per point at design size. The toolkit's faces are drawn at this many pixels per point
// so that the stored layout (label sizes, the spacing of the options caption) fits them.
inline constexpr double kPixelsPerPoint = 1.3;

// The lines of a text: split at line feeds; a final line feed adds no empty line.
std::vector<std::string> splitLines(const std::string& text);

// Greedy word wrap of one line to `width` pixels in `font` (words longer than the width stand
// alone on their line).
std::vector<std::string> wrapLine(TTF_Font* font, const std::string& line, int width);

// A rendered line of text.
struct TextTexture {
    SDL_Texture* texture = nullptr;  // null for an empty line
    int w = 0;
    int h = 0;
};

// Fonts and rendered lines for one renderer. Lines not used during a whole frame are dropped at
// its end, so a text is rendered again only when it changed.
class TextCache {
  public:
    explicit TextCache(SDL_Renderer* renderer) : renderer_(renderer) {}
    ~TextCache();
    TextCache(const TextCache&) = delete;
    TextCache& operator=(const TextCache&) = delete;

    // The bold face at that pixel size, or null when the font file cannot be opened.
    TTF_Font* font(int pixelSize);
    // The line rendered in that face and colour (0xRRGGBB).
    TextTexture line(int pixelSize, const std::string& text, uint32_t colour);

    void beginFrame() { ++frame_; }
    void endFrame();

  private:
    struct Entry {
        TextTexture text;
        unsigned frame = 0;
    };
    SDL_Renderer* renderer_;
    std::map<int, TTF_Font*> fonts_;
    std::map<std::string, Entry> lines_;
    unsigned frame_ = 0;
};

}  // namespace photon
