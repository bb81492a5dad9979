// The widget library: widgets, their classes, resources and flags, and the operations that the
// application's callbacks use on them.
//
// Everything runs on one thread, the one that calls PtMainLoop. Changes made through these
// operations are drawn when the callback that made them returns to the main loop, or at once by
// PtFlush. None of the operations blocks, except PtFlush (it draws) and PtExit (it does not
// return).
#pragma once

#include <cstdint>

// A widget. Created by the run time when it opens a module; the application holds pointers
// to widgets (through its widget table) but never creates or destroys one.
struct PtWidget;
typedef struct PtWidget PtWidget_t;

// A widget class. The application's class table pairs class names with these objects.
struct PtWidgetClass;
typedef struct PtWidgetClass PtWidgetClassRef_t;

extern PtWidgetClassRef_t* const PtWindow;     // a top-level window
extern PtWidgetClassRef_t* const PtLabel;      // a text or a picture
extern PtWidgetClassRef_t* const PtPane;       // a container with a fill and a border
extern PtWidgetClassRef_t* const PtTimer;      // draws nothing; fires its timer callback
extern PtWidgetClassRef_t* const PtText;       // a one-line text field
extern PtWidgetClassRef_t* const PtButton;     // a pressable label, selectable by default
extern PtWidgetClassRef_t* const PtMultiText;  // a multi-line text, scrollable

// A point in pixels relative to the parent's canvas, origin top left.
struct PhPoint_t {
    int16_t x;
    int16_t y;
};

// A size in pixels.
struct PhDim_t {
    uint16_t w;
    uint16_t h;
};

// Image types.
inline constexpr int Pg_IMAGE_PALETTE_BYTE = 0x10;  // one byte per pixel, index into the palette
inline constexpr int Pg_IMAGE_DIRECT_888 = 0x21;    // three bytes per pixel: blue, green, red

// A picture as a label shows it (resource Pt_ARG_LABEL_IMAGE). The run time owns the pixels;
// a picture handed out by ApGetImageRes stays valid while its database is open.
struct PhImage_t {
    int type;                 // Pg_IMAGE_PALETTE_BYTE or Pg_IMAGE_DIRECT_888
    uint32_t image_tag;       // equal pixels carry equal tags
    int bpl;                  // bytes per row, filler included
    PhDim_t size;             // width and height in pixels
    uint32_t palette_tag;     // 0 without a palette
    int colors;               // palette entries; 0 for direct colour
    const uint32_t* palette;  // entries 0x00RRGGBB
    int transparent;          // palette index not drawn, or -1
    const uint8_t* image;     // bpl x size.h bytes, top row first
};

// Colours are 0x00RRGGBB; this value, outside that range, paints nothing.
inline constexpr uint32_t Pg_TRANSPARENT = 0xFFFFFFFF;

// Resource numbers.
inline constexpr long Pt_ARG_BORDER_WIDTH = 1001;          // short: border width in pixels
inline constexpr long Pt_ARG_WIDGET_INDEX = 1004;          // data: index within the module
inline constexpr long Pt_ARG_DIM = 1005;                   // PhDim_t*: size
inline constexpr long Pt_ARG_FLAGS = 1006;                 // flag bits; the length is the mask
inline constexpr long Pt_ARG_POS = 1007;                   // PhPoint_t*: position
inline constexpr long Pt_ARG_COLOR = 2001;                 // text colour
inline constexpr long Pt_ARG_FILL_COLOR = 2002;            // fill colour
inline constexpr long Pt_ARG_MARGIN_HEIGHT = 2004;         // short: margin above and below
inline constexpr long Pt_ARG_MARGIN_WIDTH = 2005;          // short: margin left and right
inline constexpr long Pt_ARG_HORIZONTAL_ALIGNMENT = 3000;  // Pt_LEFT, Pt_RIGHT, Pt_CENTER
inline constexpr long Pt_ARG_LABEL_IMAGE = 3001;           // PhImage_t*: the label's picture
inline constexpr long Pt_ARG_LABEL_TYPE = 3003;            // Pt_Z_STRING or Pt_IMAGE
inline constexpr long Pt_ARG_TEXT_FONT = 3010;             // font name, "TextFontNNba"
inline constexpr long Pt_ARG_TEXT_STRING = 3011;           // text; the widget keeps a copy
inline constexpr long Pt_ARG_VERTICAL_ALIGNMENT = 3022;    // Pt_TOP, Pt_BOTTOM, Pt_CENTER
inline constexpr long Pt_ARG_MAX_LENGTH = 4005;            // characters a text field accepts
inline constexpr long Pt_ARG_WINDOW_TITLE = 18015;         // window title
inline constexpr long Pt_ARG_TIMER_INITIAL = 41000;        // ms from now to the first firing
inline constexpr long Pt_ARG_TIMER_REPEAT = 41001;         // ms between the firings that follow

// Values of the alignment resources.
inline constexpr long Pt_LEFT = 0;
inline constexpr long Pt_RIGHT = 1;
inline constexpr long Pt_CENTER = 2;
inline constexpr long Pt_TOP = 0;
inline constexpr long Pt_BOTTOM = 1;

// Values of Pt_ARG_LABEL_TYPE.
inline constexpr long Pt_Z_STRING = 0;
inline constexpr long Pt_IMAGE = 4;

// Widget flags (Pt_ARG_FLAGS). Pt_SELECTABLE makes a click on the widget raise its activate
// callback; a button has it by default, a label does not.
inline constexpr long Pt_SELECTABLE = 0x80;

// Callback reasons.
inline constexpr long Pt_CB_HOTKEY = 1010;
inline constexpr long Pt_CB_REALIZED = 1012;
inline constexpr long Pt_CB_ACTIVATE = 2009;
inline constexpr long Pt_CB_TIMER_ACTIVATE = 41002;

// What a callback is told about the event that fired it.
struct PtCallbackInfo_t {
    long reason;          // one of the Pt_CB_ reasons
    long reason_subtype;  // 0
    void* event;          // null
    void* cbdata;         // for Pt_CB_HOTKEY: pointer to the key character (an int)
};

// Sets one resource of a widget. `value` carries an integer, a colour, or a pointer (to a
// PhPoint_t, a PhDim_t, a PhImage_t or a text, cast to long); `len` is 0 except for
// Pt_ARG_FLAGS, where it is the mask of the bits that take the value's bits. A text is copied.
// Setting Pt_ARG_TIMER_INITIAL arms a timer; Pt_ARG_TIMER_REPEAT sets the interval of the
// firings that follow (a timer waiting for its next repeat is rescheduled from its last firing).
// Returns 0, or -1 for a null widget or a resource the widget's class does not have.
int _PtSetResource(PtWidget_t* widget, long type, long value, long len);
#define PtSetResource(widget, type, value, len) \
    _PtSetResource((widget), (type), (long)(value), (long)(len))

// Stores at `value` (a pointer to a pointer) the address of the widget's current value of
// that resource, valid until the resource changes: a char* for texts and font names, a long*
// for numbers and flags, a PhPoint_t* or PhDim_t* for positions and sizes, a PhImage_t* for a
// picture. `len` is 0. Returns 0, or -1 when the class does not have the resource.
int _PtGetResource(PtWidget_t* widget, long type, void* value, long len);
#define PtGetResource(widget, type, value, len) \
    _PtGetResource((widget), (type), (void*)(value), (long)(len))

// Raise the widget above all its siblings, or lower it below them. Return 0, -1 for null.
int PtWidgetToFront(PtWidget_t* widget);
int PtWidgetToBack(PtWidget_t* widget);

// Draws every pending change at once. Used by callbacks that keep the main loop waiting.
int PtFlush(void);

// Dispatches events until the program ends: clicks, keys, timers and window events, each one
// running its callbacks to their end before the next is taken. Waits without using the
// processor while nothing happens.
void PtMainLoop(void);

// Ends the program with that exit status.
[[noreturn]] void PtExit(int status);
