#include "text.h"

#include <cctype>
#include <cstdio>

namespace photon {
namespace {

constexpr const char* kFontFile = PHOTON_FONT_FILE;

}  // namespace

int pointSizeOf(const std::string& fontName) {
    const std::string family = "TextFont";
    if (fontName.size() >= family.size() + 2 && fontName.compare(0, family.size(), family) == 0 &&
        std::isdigit(static_cast<unsigned char>(fontName[family.size()])) &&
        std::isdigit(static_cast<unsigned char>(fontName[family.size() + 1]))) {
        return (fontName[family.size()] - '0') * 10 + (fontName[family.size() + 1] - '0');
    }
    return 10;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            if (start < text.size() || lines.empty()) {
                lines.push_back(text.substr(start));
            }
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> wrapLine(TTF_Font* font, const std::string& line, int width) {
    std::vector<std::string> out;
    std::string current;
    std::size_t pos = 0;
    while (pos < line.size()) {
        // The next word with the blanks before it.
        std::size_t wordStart = line.find_first_not_of(' ', pos);
        std::size_t wordEnd =
            wordStart == std::string::npos ? line.size() : line.find(' ', wordStart);
        if (wordEnd == std::string::npos) {
            wordEnd = line.size();
        }
        std::string candidate = current + line.substr(pos, wordEnd - pos);
        int w = 0;
        TTF_SizeUTF8(font, candidate.c_str(), &w, nullptr);
        if (w > width && !current.empty()) {
            out.push_back(current);
            current =
                wordStart == std::string::npos ? "" : line.substr(wordStart, wordEnd - wordStart);
        } else {
            current = candidate;
        }
        pos = wordEnd;
    }
    out.push_back(current);
    return out;
}

TextCache::~TextCache() {
    for (auto& [key, entry] : lines_) {
        if (entry.text.texture) {
            SDL_DestroyTexture(entry.text.texture);
        }
    }
    for (auto& [size, font] : fonts_) {
        if (font) {
            TTF_CloseFont(font);
        }
    }
}

TTF_Font* TextCache::font(int pixelSize) {
    auto it = fonts_.find(pixelSize);
    if (it != fonts_.end()) {
        return it->second;
    }
    TTF_Font* font = TTF_OpenFont(kFontFile, pixelSize);
    if (!font) {
        std::fprintf(stderr, "photon: cannot open font %s: %s\n", kFontFile, TTF_GetError());
    }
    fonts_[pixelSize] = font;
    return font;
}

TextTexture TextCache::line(int pixelSize, const std::string& text, uint32_t colour) {
    std::string key = std::to_string(pixelSize) + ':' + std::to_string(colour) + ':' + text;
    auto it = lines_.find(key);
    if (it != lines_.end()) {
        it->second.frame = frame_;
        return it->second.text;
    }
    TextTexture result;
    TTF_Font* face = font(pixelSize);
    if (face && !text.empty()) {
        SDL_Color sdlColour{static_cast<Uint8>(colour >> 16), static_cast<Uint8>(colour >> 8),
                            static_cast<Uint8>(colour), 255};
        if (SDL_Surface* surface = TTF_RenderUTF8_Blended(face, text.c_str(), sdlColour)) {
            result.texture = SDL_CreateTextureFromSurface(renderer_, surface);
            result.w = surface->w;
            result.h = surface->h;
            SDL_FreeSurface(surface);
        }
    } else if (face) {
        result.h = TTF_FontHeight(face);
    }
    lines_[key] = {result, frame_};
    return result;
}

void TextCache::endFrame() {
    for (auto it = lines_.begin(); it != lines_.end();) {
        if (it->second.frame != frame_) {
            if (it->second.text.texture) {
                SDL_DestroyTexture(it->second.text.texture);
            }
            it = lines_.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace photon
