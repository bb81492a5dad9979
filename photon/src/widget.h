// The widget model: one PtWidget per created widget, its class, resources, callbacks and place
// in the tree.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "photon/Ap.h"

namespace photon {

class Window;

enum class WidgetKind { Window, Label, Pane, Timer, Text, Button, MultiText };

// Callback bodies: a code link's function, or a dialog link's opening of its module.
using CallbackBody = std::function<int(PtWidget_t*, ApInfo_t*, PtCallbackInfo_t*)>;

struct Callback {
    long reason = 0;
    int key = 0;  // the character of a hotkey callback
    CallbackBody body;
};

// A rectangle in logical (design) pixels.
struct Rect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;

    bool contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
    Rect intersect(const Rect& other) const;
    bool empty() const { return w <= 0 || h <= 0; }
};

// Timer state of a PtTimer widget; times are milliseconds of the run time's clock.
struct TimerState {
    long initial = 0;
    long repeat = 0;
    bool armed = false;
    bool waitingForRepeat = false;  // the first firing has happened
    uint64_t lastFiring = 0;
    uint64_t due = 0;
};

}  // namespace photon

// A widget class: its kind and the defaults of the resources a widget does not store.
struct PtWidgetClass {
    const char* name;
    photon::WidgetKind kind;
    uint32_t defaultFlags;
    long defaultBorder;
    long defaultMargin;
    uint32_t defaultFill;
    uint32_t defaultTextColour;
    long defaultHorizontalAlignment;
    long defaultVerticalAlignment;
    const char* defaultFont;
};

struct PtWidget {
    PtWidgetClassRef_t* widgetClass = nullptr;
    std::string name;
    PtWidget* parent = nullptr;
    std::vector<PtWidget*> children;   // back to front
    photon::Window* window = nullptr;  // the window the widget is drawn in

    PhPoint_t pos{0, 0};
    PhDim_t dim{0, 0};
    long flags = 0;
    long borderWidth = 0;
    long marginWidth = 0;
    long marginHeight = 0;
    long textColour = 0;
    long fillColour = 0;
    long horizontalAlignment = 0;
    long verticalAlignment = Pt_CENTER;
    long labelType = Pt_Z_STRING;
    long maxLength = 0;  // 0: no limit
    long widgetIndex = -1;
    PhImage_t* image = nullptr;
    std::string text;
    std::string font;
    std::string title;
    // Bevel colours of a container's border (light top-left, dark bottom-right), when stored.
    long bevelLight = -1;
    long bevelDark = -1;

    // A picture that came from the widget database with the widget; the widget owns it.
    std::unique_ptr<PhImage_t> ownImage;

    photon::TimerState timer;
    std::vector<photon::Callback> callbacks;

    // Text field: caret position in bytes; multi-line text: first shown pixel row.
    std::size_t caret = 0;
    int scrollY = 0;

    photon::WidgetKind kind() const { return widgetClass->kind; }
    bool selectable() const { return (flags & Pt_SELECTABLE) != 0; }
};

namespace photon {

// A new widget of that class with the class defaults, child of `parent` (in front of its
// earlier children) or a root when `parent` is null.
PtWidget* createWidget(PtWidgetClassRef_t* widgetClass, const std::string& name, PtWidget* parent);
// Destroys a widget and its children; `parent`, if any, forgets it.
void destroyWidget(PtWidget* widget);

// The widget's rectangle in its window, in logical pixels.
Rect absoluteRect(const PtWidget* widget);
// The origin of the widget's children in window coordinates: its own corner, moved in by its
// border and margins for containers.
void canvasOrigin(const PtWidget* widget, int& x, int& y);
// The part of the window in which the widget can be seen: its rectangle clipped by all its
// ancestors'.
Rect visibleRect(const PtWidget* widget);
// Inset of the content (text, picture) from the widget's edge, per side.
int contentInsetX(const PtWidget* widget);
int contentInsetY(const PtWidget* widget);

// The front-most widget under the point (window coordinates) for which `accepts` is true,
// searching the tree of `root`; null when there is none.
PtWidget* hitTest(PtWidget* root, int x, int y, const std::function<bool(PtWidget*)>& accepts);

// Calls every callback of that reason (and, for hotkeys, that key); returns how many ran.
int invokeCallbacks(PtWidget* widget, long reason, int key = 0);

// The widget of that name in the tree of `root` (depth first, first found), or null.
PtWidget* findWidget(PtWidget* root, const std::string& name);

// Marks the widget's window as needing a redraw.
void markDirty(PtWidget* widget);

}  // namespace photon
