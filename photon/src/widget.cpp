#include "widget.h"

#include <algorithm>

#include "window.h"

namespace {

using photon::WidgetKind;

constexpr uint32_t kBackgroundGrey = 0xC0C0C0;

// Class defaults. A picture label's default border plus margin is 2 pixels on each side; a
// pane's border of 2 is also the inset of its children, so that a pane placed 2 pixels up and
// left of a sibling shows its children exactly over that sibling.
// Fields: name, kind, flags, border, margin, fill, text colour, horizontal and vertical
// alignment, font.
PtWidgetClass windowClass{"PtWindow",      WidgetKind::Window, 0,       0,         0,
                          kBackgroundGrey, 0x000000,           Pt_LEFT, Pt_CENTER, "TextFont10ba"};
PtWidgetClass labelClass{"PtLabel",      WidgetKind::Label, 0,       0,         2,
                         Pg_TRANSPARENT, 0x000000,          Pt_LEFT, Pt_CENTER, "TextFont09ba"};
PtWidgetClass paneClass{"PtPane",        WidgetKind::Pane, 0,       2,         0,
                        kBackgroundGrey, 0x000000,         Pt_LEFT, Pt_CENTER, "TextFont10ba"};
PtWidgetClass timerClass{"PtTimer",      WidgetKind::Timer, 0,       0,         0,
                         Pg_TRANSPARENT, 0x000000,          Pt_LEFT, Pt_CENTER, "TextFont10ba"};
PtWidgetClass textClass{"PtText", WidgetKind::Text, 0,       2,         2,
                        0xFFFFFF, 0x000000,         Pt_LEFT, Pt_CENTER, "TextFont10ba"};
PtWidgetClass buttonClass{"PtButton", WidgetKind::Button, Pt_SELECTABLE, 2,
                          2,          kBackgroundGrey,    0x000000,      Pt_CENTER,
                          Pt_CENTER,  "TextFont10ba"};
PtWidgetClass multiTextClass{
    "PtMultiText", WidgetKind::MultiText, 0, 2, 2, 0xFFFFFF, 0x000000, Pt_LEFT,
    Pt_TOP,        "TextFont09ba"};

}  // namespace

PtWidgetClassRef_t* const PtWindow = &windowClass;
PtWidgetClassRef_t* const PtLabel = &labelClass;
PtWidgetClassRef_t* const PtPane = &paneClass;
PtWidgetClassRef_t* const PtTimer = &timerClass;
PtWidgetClassRef_t* const PtText = &textClass;
PtWidgetClassRef_t* const PtButton = &buttonClass;
PtWidgetClassRef_t* const PtMultiText = &multiTextClass;

namespace photon {

Rect Rect::intersect(const Rect& other) const {
    int left = std::max(x, other.x);
    int top = std::max(y, other.y);
    int right = std::min(x + w, other.x + other.w);
    int bottom = std::min(y + h, other.y + other.h);
    return {left, top, std::max(0, right - left), std::max(0, bottom - top)};
}

PtWidget* createWidget(PtWidgetClassRef_t* widgetClass, const std::string& name, PtWidget* parent) {
    auto* widget = new PtWidget;
    widget->widgetClass = widgetClass;
    widget->name = name;
    widget->flags = widgetClass->defaultFlags;
    widget->borderWidth = widgetClass->defaultBorder;
    widget->marginWidth = widgetClass->defaultMargin;
    widget->marginHeight = widgetClass->defaultMargin;
    widget->fillColour = widgetClass->defaultFill;
    widget->textColour = widgetClass->defaultTextColour;
    widget->horizontalAlignment = widgetClass->defaultHorizontalAlignment;
    widget->verticalAlignment = widgetClass->defaultVerticalAlignment;
    widget->font = widgetClass->defaultFont;
    widget->parent = parent;
    if (parent) {
        parent->children.push_back(widget);
        widget->window = parent->window;
    }
    return widget;
}

void destroyWidget(PtWidget* widget) {
    for (PtWidget* child : widget->children) {
        child->parent = nullptr;
        destroyWidget(child);
    }
    if (widget->parent) {
        auto& siblings = widget->parent->children;
        siblings.erase(std::find(siblings.begin(), siblings.end(), widget));
    }
    delete widget;
}

void canvasOrigin(const PtWidget* widget, int& x, int& y) {
    Rect rect = absoluteRect(widget);
    x = rect.x;
    y = rect.y;
    if (widget->kind() == WidgetKind::Pane) {
        x += widget->borderWidth + widget->marginWidth;
        y += widget->borderWidth + widget->marginHeight;
    }
}

Rect absoluteRect(const PtWidget* widget) {
    // A window's own position is its place on the desktop, not an offset of its canvas.
    if (!widget->parent) {
        return {0, 0, widget->dim.w, widget->dim.h};
    }
    int x = 0;
    int y = 0;
    canvasOrigin(widget->parent, x, y);
    return {x + widget->pos.x, y + widget->pos.y, widget->dim.w, widget->dim.h};
}

Rect visibleRect(const PtWidget* widget) {
    Rect rect = absoluteRect(widget);
    for (const PtWidget* up = widget->parent; up; up = up->parent) {
        rect = rect.intersect(absoluteRect(up));
    }
    return rect;
}

int contentInsetX(const PtWidget* widget) {
    return widget->borderWidth + widget->marginWidth;
}
int contentInsetY(const PtWidget* widget) {
    return widget->borderWidth + widget->marginHeight;
}

PtWidget* hitTest(PtWidget* root, int x, int y, const std::function<bool(PtWidget*)>& accepts) {
    if (!visibleRect(root).contains(x, y)) {
        return nullptr;
    }
    for (auto it = root->children.rbegin(); it != root->children.rend(); ++it) {
        if (PtWidget* hit = hitTest(*it, x, y, accepts)) {
            return hit;
        }
    }
    return accepts(root) ? root : nullptr;
}

int invokeCallbacks(PtWidget* widget, long reason, int key) {
    // Copy first: a callback may add callbacks or open modules while this one runs.
    std::vector<CallbackBody> due;
    for (const Callback& callback : widget->callbacks) {
        if (callback.reason == reason && (reason != Pt_CB_HOTKEY || callback.key == key)) {
            due.push_back(callback.body);
        }
    }
    for (const CallbackBody& body : due) {
        ApInfo_t info{reason};
        int keyValue = key;
        PtCallbackInfo_t cbinfo{reason, 0, nullptr, reason == Pt_CB_HOTKEY ? &keyValue : nullptr};
        body(widget, &info, &cbinfo);
    }
    return static_cast<int>(due.size());
}

PtWidget* findWidget(PtWidget* root, const std::string& name) {
    if (root->name == name) {
        return root;
    }
    for (PtWidget* child : root->children) {
        if (PtWidget* found = findWidget(child, name)) {
            return found;
        }
    }
    return nullptr;
}

void markDirty(PtWidget* widget) {
    if (widget && widget->window) {
        widget->window->markDirty();
    }
}

}  // namespace photon
