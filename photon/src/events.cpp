// Pointer, keyboard and window events: which widget they reach and which callbacks they fire.
#include <algorithm>

#include "runtime.h"

namespace photon {
namespace {

OpenWindow* windowOfEvent(uint32_t windowId) {
    Runtime& rt = runtime();
    for (OpenWindow& open : rt.windows) {
        if (open.window->id() == windowId) {
            return &open;
        }
    }
    return nullptr;
}

// Widgets that take a pointer press: selectable ones, text fields (for the focus) and
// multi-line texts (for scrolling). Others let the press through to what lies behind them.
bool takesPress(PtWidget* widget) {
    return widget->selectable() || widget->kind() == WidgetKind::Text ||
           widget->kind() == WidgetKind::MultiText;
}

PtWidget* widgetAt(OpenWindow& open, int x, int y) {
    int lx = 0;
    int ly = 0;
    open.window->toLogical(x, y, lx, ly);
    return hitTest(open.window->root(), lx, ly, takesPress);
}

// A text field keeps the focus only while it can be seen.
PtWidget* visibleFocus() {
    Runtime& rt = runtime();
    if (rt.focus && visibleRect(rt.focus).empty()) {
        rt.focus = nullptr;
    }
    return rt.focus;
}

void setFocus(PtWidget* widget) {
    Runtime& rt = runtime();
    if (rt.focus != widget) {
        markDirty(rt.focus);
        rt.focus = widget;
        if (widget) {
            widget->caret = widget->text.size();
        }
        markDirty(widget);
    }
}

void scrollBy(PtWidget* multiText, int pixels) {
    Painter& painter = multiText->window->painter();
    int lines = static_cast<int>(painter.wrappedLines(multiText).size());
    int content = multiText->dim.h - 2 * contentInsetY(multiText);
    int limit = std::max(0, lines * painter.lineHeight(multiText) - content);
    multiText->scrollY = std::clamp(multiText->scrollY + pixels, 0, limit);
    markDirty(multiText);
}

void pointerPressed(const SDL_MouseButtonEvent& button) {
    OpenWindow* open = windowOfEvent(button.windowID);
    if (!open || button.button != SDL_BUTTON_LEFT) {
        return;
    }
    PtWidget* hit = widgetAt(*open, button.x, button.y);
    runtime().pressed = hit;
    setFocus(hit && hit->kind() == WidgetKind::Text ? hit : nullptr);
    if (hit && hit->kind() == WidgetKind::MultiText) {
        // A press on the scroll bar pages up or down.
        int lx = 0;
        int ly = 0;
        open->window->toLogical(button.x, button.y, lx, ly);
        Rect rect = absoluteRect(hit);
        if (lx >= rect.x + rect.w - contentInsetX(hit) - kScrollBarWidth) {
            int page = rect.h - 2 * contentInsetY(hit);
            scrollBy(hit, ly < rect.y + rect.h / 2 ? -page : page);
        }
    }
}

void pointerReleased(const SDL_MouseButtonEvent& button) {
    Runtime& rt = runtime();
    OpenWindow* open = windowOfEvent(button.windowID);
    PtWidget* pressed = rt.pressed;
    rt.pressed = nullptr;
    if (!open || button.button != SDL_BUTTON_LEFT || !pressed) {
        return;
    }
    // Activate needs the release over the widget that took the press, and the widget must
    // still be selectable then.
    if (widgetAt(*open, button.x, button.y) == pressed && pressed->selectable()) {
        invokeCallbacks(pressed, Pt_CB_ACTIVATE);
    }
}

void wheel(const SDL_MouseWheelEvent& event) {
    OpenWindow* open = windowOfEvent(event.windowID);
    if (!open) {
        return;
    }
    PtWidget* hit = widgetAt(*open, event.mouseX, event.mouseY);
    if (hit && hit->kind() == WidgetKind::MultiText) {
        scrollBy(hit, -event.y * hit->window->painter().lineHeight(hit) * 3);
    }
}

// Inserts typed text into the focused field, up to its limit of characters.
void typeIntoField(PtWidget* field, const std::string& typed) {
    auto isLead = [](char c) { return (c & 0xC0) != 0x80; };
    long count = std::count_if(field->text.begin(), field->text.end(), isLead);
    std::string insert;
    for (std::size_t i = 0; i < typed.size();) {
        std::size_t length = 1;
        while (i + length < typed.size() && !isLead(typed[i + length])) {
            ++length;
        }
        if (field->maxLength > 0 && count >= field->maxLength) {
            break;
        }
        insert.append(typed, i, length);
        ++count;
        i += length;
    }
    field->text.insert(field->caret, insert);
    field->caret += insert.size();
    markDirty(field);
}

void textInput(const SDL_TextInputEvent& event) {
    if (PtWidget* field = visibleFocus()) {
        typeIntoField(field, event.text);
        return;
    }
    OpenWindow* open = windowOfEvent(event.windowID);
    if (!open) {
        return;
    }
    for (const char* c = event.text; *c; ++c) {
        invokeCallbacks(open->window->root(), Pt_CB_HOTKEY, static_cast<unsigned char>(*c));
    }
}

// Moves the caret one character; returns the new byte position.
std::size_t stepCaret(const std::string& text, std::size_t caret, bool forward) {
    if (forward) {
        if (caret < text.size()) {
            ++caret;
        }
        while (caret < text.size() && (text[caret] & 0xC0) == 0x80) {
            ++caret;
        }
    } else {
        if (caret > 0) {
            --caret;
        }
        while (caret > 0 && (text[caret] & 0xC0) == 0x80) {
            --caret;
        }
    }
    return caret;
}

void keyPressed(const SDL_KeyboardEvent& event) {
    PtWidget* field = visibleFocus();
    if (!field) {
        return;
    }
    std::string& text = field->text;
    std::size_t& caret = field->caret;
    switch (event.keysym.sym) {
        case SDLK_BACKSPACE:
            if (caret > 0) {
                std::size_t start = stepCaret(text, caret, false);
                text.erase(start, caret - start);
                caret = start;
            }
            break;
        case SDLK_DELETE:
            text.erase(caret, stepCaret(text, caret, true) - caret);
            break;
        case SDLK_LEFT:
            caret = stepCaret(text, caret, false);
            break;
        case SDLK_RIGHT:
            caret = stepCaret(text, caret, true);
            break;
        case SDLK_HOME:
            caret = 0;
            break;
        case SDLK_END:
            caret = text.size();
            break;
        default:
            return;
    }
    markDirty(field);
}

void windowEvent(const SDL_WindowEvent& event) {
    OpenWindow* open = windowOfEvent(event.windowID);
    if (!open) {
        return;
    }
    switch (event.event) {
        case SDL_WINDOWEVENT_EXPOSED:
            open->window->markDirty();
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            open->window->updateScaling();
            break;
        case SDL_WINDOWEVENT_CLOSE:
            // Closing the application's first window ends the program; others just close.
            if (open == &runtime().windows.front()) {
                PtExit(0);
            }
            closeWindow(open->window->root());
            break;
        default:
            break;
    }
}

}  // namespace

void handleEvent(const SDL_Event& event) {
    switch (event.type) {
        case SDL_MOUSEBUTTONDOWN:
            pointerPressed(event.button);
            break;
        case SDL_MOUSEBUTTONUP:
            pointerReleased(event.button);
            break;
        case SDL_MOUSEWHEEL:
            wheel(event.wheel);
            break;
        case SDL_TEXTINPUT:
            textInput(event.text);
            break;
        case SDL_KEYDOWN:
            keyPressed(event.key);
            break;
        case SDL_WINDOWEVENT:
            windowEvent(event.window);
            break;
        case SDL_QUIT:
            PtExit(0);
        default:
            break;
    }
}

}  // namespace photon
