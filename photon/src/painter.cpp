#include "painter.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace photon {
namespace {

void setColour(SDL_Renderer* renderer, uint32_t colour) {
    SDL_SetRenderDrawColor(renderer, static_cast<Uint8>(colour >> 16),
                           static_cast<Uint8>(colour >> 8), static_cast<Uint8>(colour), 255);
}

// The picture as rows of red, green, blue, alpha bytes; the transparent index gets alpha 0.
std::vector<uint8_t> toRgba(const PhImage_t& image) {
    const int w = image.size.w;
    const int h = image.size.h;
    std::vector<uint8_t> out(static_cast<std::size_t>(w) * h * 4);
    uint8_t* dst = out.data();
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = image.image + static_cast<std::size_t>(y) * image.bpl;
        for (int x = 0; x < w; ++x, dst += 4) {
            if (image.type == Pg_IMAGE_DIRECT_888) {
                dst[0] = row[x * 3 + 2];
                dst[1] = row[x * 3 + 1];
                dst[2] = row[x * 3];
                dst[3] = 255;
                continue;
            }
            int index = row[x];
            uint32_t colour = index < image.colors ? image.palette[index] : 0;
            dst[0] = static_cast<uint8_t>(colour >> 16);
            dst[1] = static_cast<uint8_t>(colour >> 8);
            dst[2] = static_cast<uint8_t>(colour);
            dst[3] = index == image.transparent ? 0 : 255;
        }
    }
    return out;
}

Rect contentRect(const PtWidget* widget, const Rect& rect) {
    int insetX = contentInsetX(widget);
    int insetY = contentInsetY(widget);
    return {rect.x + insetX, rect.y + insetY, rect.w - 2 * insetX, rect.h - 2 * insetY};
}

// Offset of an item of `size` in `room` for an alignment of Pt_LEFT/Pt_TOP, Pt_RIGHT/Pt_BOTTOM
// or Pt_CENTER.
int aligned(long alignment, int room, int size) {
    switch (alignment) {
        case Pt_RIGHT:
            return room - size;
        case Pt_CENTER:
            return (room - size) / 2;
        default:
            return 0;
    }
}

// Where a label's picture stands, by the label's alignment in its content rectangle.
Rect imagePlace(const PtWidget* widget, const Rect& content) {
    const PhImage_t* image = widget->image;
    return {content.x + aligned(widget->horizontalAlignment, content.w, image->size.w),
            content.y + aligned(widget->verticalAlignment, content.h, image->size.h), image->size.w,
            image->size.h};
}

bool contains(const Rect& outer, const Rect& inner) {
    return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.w <= outer.x + outer.w &&
           inner.y + inner.h <= outer.y + outer.h;
}

// Whether the widget paints every pixel of `area` opaquely: with its fill, or with a picture
// that has no transparent colour.
bool covers(const PtWidget* widget, const Rect& area) {
    Rect rect = absoluteRect(widget);
    if (area.empty() || widget->kind() == WidgetKind::Timer || !contains(rect, area)) {
        return false;
    }
    if (static_cast<uint32_t>(widget->fillColour) != Pg_TRANSPARENT) {
        return true;
    }
    const PhImage_t* image = widget->image;
    if (widget->kind() != WidgetKind::Label || widget->labelType != Pt_IMAGE || !image ||
        !image->image || image->transparent >= 0) {
        return false;
    }
    return contains(imagePlace(widget, contentRect(widget, rect)).intersect(rect), area);
}

}  // namespace

SDL_Rect Scaling::toPixels(const Rect& rect) const {
    int left = static_cast<int>(std::lround(rect.x * scale)) + offsetX;
    int top = static_cast<int>(std::lround(rect.y * scale)) + offsetY;
    int right = static_cast<int>(std::lround((rect.x + rect.w) * scale)) + offsetX;
    int bottom = static_cast<int>(std::lround((rect.y + rect.h) * scale)) + offsetY;
    return {left, top, right - left, bottom - top};
}

int Scaling::toPixels(double length) const {
    return static_cast<int>(std::lround(length * scale));
}

void Scaling::toLogical(int px, int py, int& x, int& y) const {
    x = static_cast<int>(std::floor((px - offsetX) / scale));
    y = static_cast<int>(std::floor((py - offsetY) / scale));
}

Scaling fitScaling(int designW, int designH, int outputW, int outputH) {
    Scaling scaling;
    if (designW <= 0 || designH <= 0) {
        return scaling;
    }
    scaling.scale =
        std::min(static_cast<double>(outputW) / designW, static_cast<double>(outputH) / designH);
    scaling.offsetX = (outputW - static_cast<int>(std::lround(designW * scaling.scale))) / 2;
    scaling.offsetY = (outputH - static_cast<int>(std::lround(designH * scaling.scale))) / 2;
    return scaling;
}

Painter::~Painter() {
    for (auto& [pixels, texture] : images_) {
        SDL_DestroyTexture(texture);
    }
}

void Painter::paint(PtWidget* root, const Scaling& scaling, const PtWidget* focus) {
    if (scaling.scale != scaling_.scale) {
        // Pictures scaled for the old size would pile up while a window is resized.
        for (auto& [key, texture] : images_) {
            SDL_DestroyTexture(texture);
        }
        images_.clear();
    }
    scaling_ = scaling;
    focus_ = focus;
    text_.beginFrame();
    SDL_RenderSetClipRect(renderer_, nullptr);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    paintWidget(root, absoluteRect(root));
    SDL_RenderSetClipRect(renderer_, nullptr);
    text_.endFrame();
}

int Painter::fontPixels(const PtWidget* widget) const {
    double pixels = pointSizeOf(widget->font) * kPixelsPerPoint * scaling_.scale;
    return std::max(1, static_cast<int>(std::lround(pixels)));
}

TTF_Font* Painter::fontOf(const PtWidget* widget) {
    return text_.font(fontPixels(widget));
}

int Painter::lineHeight(const PtWidget* widget) {
    TTF_Font* font = fontOf(widget);
    int pixels = font ? TTF_FontLineSkip(font) : fontPixels(widget);
    return static_cast<int>(std::ceil(pixels / scaling_.scale));
}

std::vector<std::string> Painter::wrappedLines(const PtWidget* widget) {
    Rect content = contentRect(widget, absoluteRect(widget));
    TTF_Font* font = fontOf(widget);
    std::vector<std::string> lines = splitLines(widget->text);
    if (!font) {
        return lines;
    }
    auto wrapAll = [&](int width) {
        std::vector<std::string> out;
        for (const std::string& line : lines) {
            for (std::string& piece : wrapLine(font, line, scaling_.toPixels(width))) {
                out.push_back(std::move(piece));
            }
        }
        return out;
    };
    std::vector<std::string> wrapped = wrapAll(content.w);
    if (static_cast<int>(wrapped.size()) * lineHeight(widget) > content.h) {
        wrapped = wrapAll(content.w - kScrollBarWidth);
    }
    return wrapped;
}

void Painter::paintWidget(PtWidget* widget, const Rect& parentClip) {
    Rect rect = absoluteRect(widget);
    Rect clip = rect.intersect(parentClip);
    if (clip.empty() || widget->kind() == WidgetKind::Timer) {
        return;
    }
    SDL_Rect pixelClip = scaling_.toPixels(clip);
    SDL_RenderSetClipRect(renderer_, &pixelClip);
    fill(rect, widget->fillColour);
    Rect content = contentRect(widget, rect);
    switch (widget->kind()) {
        case WidgetKind::Pane:
            bevel(rect, widget->borderWidth,
                  widget->bevelLight >= 0 ? widget->bevelLight : 0xF0F0F0,
                  widget->bevelDark >= 0 ? widget->bevelDark : 0x606060);
            break;
        case WidgetKind::Label:
            if (widget->labelType == Pt_IMAGE) {
                drawImage(widget, content);
            } else {
                drawLines(widget, splitLines(widget->text), content, 0);
            }
            break;
        case WidgetKind::Button:
            bevel(rect, widget->borderWidth, 0xF0F0F0, 0x606060);
            drawLines(widget, splitLines(widget->text), content, 0);
            break;
        case WidgetKind::Text:
            bevel(rect, widget->borderWidth, 0x606060, 0xF0F0F0);
            drawLines(widget, {widget->text}, content, 0);
            if (widget == focus_) {
                drawCaret(widget, content);
            }
            break;
        case WidgetKind::MultiText: {
            bevel(rect, widget->borderWidth, 0x606060, 0xF0F0F0);
            std::vector<std::string> lines = wrappedLines(widget);
            int textHeight = static_cast<int>(lines.size()) * lineHeight(widget);
            Rect textArea = content;
            if (textHeight > content.h) {
                textArea.w -= kScrollBarWidth;
                drawScrollBar(widget, content, textHeight);
            }
            SDL_Rect pixelArea = scaling_.toPixels(textArea.intersect(clip));
            SDL_RenderSetClipRect(renderer_, &pixelArea);
            drawLines(widget, lines, textArea, -widget->scrollY);
            break;
        }
        case WidgetKind::Window:
        case WidgetKind::Timer:
            break;
    }
    const auto& children = widget->children;
    for (std::size_t i = 0; i < children.size(); ++i) {
        // A child hidden behind an opaque later sibling is not painted at all.
        Rect childArea = absoluteRect(children[i]).intersect(clip);
        bool hidden = std::any_of(children.begin() + i + 1, children.end(),
                                  [&](const PtWidget* later) { return covers(later, childArea); });
        if (!hidden) {
            paintWidget(children[i], clip);
        }
    }
}

void Painter::fill(const Rect& rect, long colour) {
    if (static_cast<uint32_t>(colour) == Pg_TRANSPARENT) {
        return;
    }
    setColour(renderer_, static_cast<uint32_t>(colour));
    SDL_Rect pixels = scaling_.toPixels(rect);
    SDL_RenderFillRect(renderer_, &pixels);
}

void Painter::bevel(const Rect& rect, int width, uint32_t light, uint32_t dark) {
    if (width <= 0) {
        return;
    }
    SDL_Rect outer = scaling_.toPixels(rect);
    int thickness = std::max(1, scaling_.toPixels(width));
    SDL_Rect top{outer.x, outer.y, outer.w, thickness};
    SDL_Rect left{outer.x, outer.y, thickness, outer.h};
    SDL_Rect bottom{outer.x, outer.y + outer.h - thickness, outer.w, thickness};
    SDL_Rect right{outer.x + outer.w - thickness, outer.y, thickness, outer.h};
    setColour(renderer_, dark);
    SDL_RenderFillRect(renderer_, &bottom);
    SDL_RenderFillRect(renderer_, &right);
    setColour(renderer_, light);
    SDL_RenderFillRect(renderer_, &top);
    SDL_RenderFillRect(renderer_, &left);
}

SDL_Texture* Painter::imageTexture(const PhImage_t* image, SDL_Point size) {
    ImageKey key{image->image, size.x, size.y};
    auto it = images_.find(key);
    if (it != images_.end()) {
        return it->second;
    }
    std::vector<uint8_t> rgba = toRgba(*image);
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
        rgba.data(), image->size.w, image->size.h, 32, image->size.w * 4, SDL_PIXELFORMAT_RGBA32);
    SDL_Surface* scaled =
        source ? SDL_CreateRGBSurfaceWithFormat(0, size.x, size.y, 32, SDL_PIXELFORMAT_RGBA32)
               : nullptr;
    SDL_Texture* texture = nullptr;
    if (scaled) {
        SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
        // Whole-number scales keep the pixels sharp; others are smoothed.
        bool whole = size.x % image->size.w == 0 && size.y % image->size.h == 0;
        if (whole) {
            SDL_BlitScaled(source, nullptr, scaled, nullptr);
        } else {
            SDL_SoftStretchLinear(source, nullptr, scaled, nullptr);
        }
        texture = SDL_CreateTextureFromSurface(renderer_, scaled);
    }
    if (texture) {
        // Blending costs the software renderer dearly; only pictures with a transparent
        // colour need it.
        SDL_SetTextureBlendMode(texture,
                                image->transparent >= 0 ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_NONE);
    }
    SDL_FreeSurface(scaled);
    SDL_FreeSurface(source);
    images_[key] = texture;
    return texture;
}

void Painter::drawImage(const PtWidget* widget, const Rect& content) {
    const PhImage_t* image = widget->image;
    if (!image || !image->image || image->size.w == 0 || image->size.h == 0) {
        return;
    }
    SDL_Rect pixels = scaling_.toPixels(imagePlace(widget, content));
    if (pixels.w <= 0 || pixels.h <= 0) {
        return;
    }
    if (SDL_Texture* texture = imageTexture(image, {pixels.w, pixels.h})) {
        SDL_RenderCopy(renderer_, texture, nullptr, &pixels);
    }
}

void Painter::drawLines(const PtWidget* widget, const std::vector<std::string>& lines,
                        const Rect& content, int firstRowY) {
    TTF_Font* font = fontOf(widget);
    if (!font) {
        return;
    }
    const int size = fontPixels(widget);
    const int skip = TTF_FontLineSkip(font);
    SDL_Rect area = scaling_.toPixels(content);
    int total = skip * static_cast<int>(lines.size());
    int y =
        area.y + scaling_.toPixels(firstRowY) + aligned(widget->verticalAlignment, area.h, total);
    for (const std::string& line : lines) {
        TextTexture text = text_.line(size, line, static_cast<uint32_t>(widget->textColour));
        if (text.texture) {
            SDL_Rect dst{area.x + aligned(widget->horizontalAlignment, area.w, text.w), y, text.w,
                         text.h};
            SDL_RenderCopy(renderer_, text.texture, nullptr, &dst);
        }
        y += skip;
    }
}

void Painter::drawCaret(const PtWidget* widget, const Rect& content) {
    TTF_Font* font = fontOf(widget);
    if (!font) {
        return;
    }
    int full = 0;
    int before = 0;
    TTF_SizeUTF8(font, widget->text.c_str(), &full, nullptr);
    TTF_SizeUTF8(font, widget->text.substr(0, widget->caret).c_str(), &before, nullptr);
    SDL_Rect area = scaling_.toPixels(content);
    int height = TTF_FontHeight(font);
    SDL_Rect caret{area.x + aligned(widget->horizontalAlignment, area.w, full) + before,
                   area.y + aligned(widget->verticalAlignment, area.h, height),
                   std::max(1, scaling_.toPixels(1)), height};
    setColour(renderer_, static_cast<uint32_t>(widget->textColour));
    SDL_RenderFillRect(renderer_, &caret);
}

void Painter::drawScrollBar(const PtWidget* widget, const Rect& content, int textHeight) {
    Rect track{content.x + content.w - kScrollBarWidth, content.y, kScrollBarWidth, content.h};
    fill(track, 0xD8D8D8);
    int thumbHeight = std::max(8, content.h * content.h / textHeight);
    int range = textHeight - content.h;
    int thumbY = range > 0 ? (content.h - thumbHeight) * widget->scrollY / range : 0;
    Rect thumb{track.x + 1, track.y + thumbY, kScrollBarWidth - 2, thumbHeight};
    fill(thumb, 0x909090);
    bevel(thumb, 1, 0xF0F0F0, 0x505050);
}

}  // namespace photon
