#include "resources.h"

#include <cstring>
#include <variant>

#include "timers.h"
#include "window.h"

namespace photon {
namespace {

// The field of a resource held as a long, or null when `type` is not one of them.
long* numberField(PtWidget* widget, long type) {
    switch (type) {
        case Pt_ARG_BORDER_WIDTH:
            return &widget->borderWidth;
        case Pt_ARG_WIDGET_INDEX:
            return &widget->widgetIndex;
        case Pt_ARG_COLOR:
            return &widget->textColour;
        case Pt_ARG_FILL_COLOR:
            return &widget->fillColour;
        case Pt_ARG_MARGIN_HEIGHT:
            return &widget->marginHeight;
        case Pt_ARG_MARGIN_WIDTH:
            return &widget->marginWidth;
        case Pt_ARG_HORIZONTAL_ALIGNMENT:
            return &widget->horizontalAlignment;
        case Pt_ARG_LABEL_TYPE:
            return &widget->labelType;
        case Pt_ARG_VERTICAL_ALIGNMENT:
            return &widget->verticalAlignment;
        case Pt_ARG_MAX_LENGTH:
            return &widget->maxLength;
        default:
            return nullptr;
    }
}

// Sets a resource held as a long; false when `type` is not one of them.
bool setNumber(PtWidget* widget, long type, long value) {
    long* field = numberField(widget, type);
    if (field) {
        *field = value;
    }
    return field != nullptr;
}

void setText(PtWidget* widget, const char* text) {
    widget->text = text ? text : "";
    widget->caret = std::min(widget->caret, widget->text.size());
    widget->scrollY = 0;
}

void setTitle(PtWidget* widget, const char* title) {
    widget->title = title ? title : "";
    if (widget->window && !widget->parent) {
        widget->window->updateTitle();
    }
}

// The widget's own copy of a stored colour: transparent stays transparent.
long colourValue(const db::Colour& colour) {
    return static_cast<long>(colour.rgb);
}

}  // namespace

PhImage_t imageOf(const db::Picture& picture) {
    PhImage_t image{};
    image.type = static_cast<int>(picture.imageType);
    image.image_tag = picture.imageTag;
    image.bpl = static_cast<int>(picture.bytesPerRow);
    image.size = {picture.width, picture.height};
    image.palette_tag = picture.paletteTag;
    image.colors = static_cast<int>(picture.palette.size());
    image.palette = picture.palette.empty() ? nullptr : picture.palette.data();
    image.transparent = picture.transparentIndex ? *picture.transparentIndex : -1;
    image.image = picture.pixels.data();
    return image;
}

void applyStoredResource(PtWidget* widget, const db::Resource& resource) {
    const long number = resource.number;
    if (const db::Dim* dim = resource.dim(); dim && number == Pt_ARG_DIM) {
        widget->dim = {static_cast<uint16_t>(dim->width), static_cast<uint16_t>(dim->height)};
    } else if (const db::Pos* pos = resource.pos(); pos && number == Pt_ARG_POS) {
        widget->pos = {static_cast<int16_t>(pos->x), static_cast<int16_t>(pos->y)};
    } else if (const db::Flags* flags = resource.flags(); flags && number == Pt_ARG_FLAGS) {
        _PtSetResource(widget, Pt_ARG_FLAGS, flags->value, flags->mask);
    } else if (const db::Colour* colour = resource.colour()) {
        if (number == 2022) {
            widget->bevelLight = colourValue(*colour);
        } else if (number == 2023) {
            widget->bevelDark = colourValue(*colour);
        } else {
            setNumber(widget, number, colourValue(*colour));
        }
    } else if (const int64_t* value = resource.integer()) {
        if (number == Pt_ARG_TIMER_INITIAL || number == Pt_ARG_TIMER_REPEAT) {
            _PtSetResource(widget, number, static_cast<long>(*value), 0);
        } else {
            setNumber(widget, number, static_cast<long>(*value));
        }
    } else if (const uint32_t* index = resource.index()) {
        setNumber(widget, number, static_cast<long>(*index));
    } else if (const std::string* text = resource.text()) {
        if (number == Pt_ARG_TEXT_STRING) {
            setText(widget, text->c_str());
        } else if (number == Pt_ARG_TEXT_FONT) {
            widget->font = *text;
        } else if (number == Pt_ARG_WINDOW_TITLE) {
            widget->title = *text;
        }
    } else if (const db::Picture* picture = resource.picture();
               picture && number == Pt_ARG_LABEL_IMAGE) {
        widget->ownImage = std::make_unique<PhImage_t>(imageOf(*picture));
        widget->image = widget->ownImage.get();
    }
}

}  // namespace photon

int _PtSetResource(PtWidget_t* widget, long type, long value, long len) {
    if (!widget) {
        return -1;
    }
    switch (type) {
        case Pt_ARG_FLAGS:
            widget->flags = (widget->flags & ~len) | (value & len);
            break;
        case Pt_ARG_POS:
            widget->pos = *reinterpret_cast<const PhPoint_t*>(value);
            break;
        case Pt_ARG_DIM:
            widget->dim = *reinterpret_cast<const PhDim_t*>(value);
            break;
        case Pt_ARG_LABEL_IMAGE:
            widget->image = reinterpret_cast<PhImage_t*>(value);
            break;
        case Pt_ARG_TEXT_STRING:
            photon::setText(widget, reinterpret_cast<const char*>(value));
            break;
        case Pt_ARG_TEXT_FONT:
            widget->font = value ? reinterpret_cast<const char*>(value) : "";
            break;
        case Pt_ARG_WINDOW_TITLE:
            photon::setTitle(widget, reinterpret_cast<const char*>(value));
            break;
        case Pt_ARG_TIMER_INITIAL:
        case Pt_ARG_TIMER_REPEAT:
            if (widget->kind() != photon::WidgetKind::Timer) {
                return -1;
            }
            if (type == Pt_ARG_TIMER_INITIAL) {
                photon::setTimerInitial(widget, value);
            } else {
                photon::setTimerRepeat(widget, value);
            }
            return 0;  // a timer has nothing to draw
        default:
            if (!photon::setNumber(widget, type, value)) {
                return -1;
            }
    }
    photon::markDirty(widget);
    return 0;
}

int _PtGetResource(PtWidget_t* widget, long type, void* value, long) {
    if (!widget || !value) {
        return -1;
    }
    void* address = nullptr;
    switch (type) {
        case Pt_ARG_FLAGS:
            address = &widget->flags;
            break;
        case Pt_ARG_POS:
            address = &widget->pos;
            break;
        case Pt_ARG_DIM:
            address = &widget->dim;
            break;
        case Pt_ARG_LABEL_IMAGE:
            address = widget->image;
            break;
        case Pt_ARG_TEXT_STRING:
            address = widget->text.data();
            break;
        case Pt_ARG_TEXT_FONT:
            address = widget->font.data();
            break;
        case Pt_ARG_WINDOW_TITLE:
            address = widget->title.data();
            break;
        case Pt_ARG_TIMER_INITIAL:
            address = &widget->timer.initial;
            break;
        case Pt_ARG_TIMER_REPEAT:
            address = &widget->timer.repeat;
            break;
        default:
            address = photon::numberField(widget, type);
            if (!address) {
                return -1;
            }
    }
    std::memcpy(value, &address, sizeof address);
    return 0;
}
