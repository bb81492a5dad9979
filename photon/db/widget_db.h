// The widget database: the modules of an application, their widgets, resource values and
// pictures, as they travel in the program file's section "QNX_PhAB".
//
// Stored layout, in short (all fixed-width integers little-endian):
//   - a 32-bit module count, then one 64-byte directory entry per module (file name NUL-filled to
//     52 bytes, offset and size of the module text, Unix time stamp), in byte order of the names;
//   - the module texts at the offsets the entries give, each followed by the two bytes "0\n"
//     that its size does not count, each beginning at a multiple of 4.
// A module text is line oriented: the format line "PhAB201.01", then per widget its class name,
// nesting level and name, its resources as (number, type word, value), and a line "0". Text
// values of type multi carry a byte count; pictures are raw binary blocks. Neither is followed by
// a line feed.
//
// Everything here is plain data and free functions. Nothing throws: every operation that can
// fail returns a Result that holds either its value or an Error saying what is wrong and where.
// Damaged input of any kind gives an Error, never a crash, an endless loop or a huge allocation.
// All functions are safe to call from any thread on distinct data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace photon::db {

// ---------------------------------------------------------------------------------------------
// Errors

// What went wrong and where. `where` names the place in reader's terms, for example
// `module "base1.wgtw", line 57, widget "PtG1", resource 3001` or `directory entry 2`; `offset`
// is the byte offset from the start of the database (or file) at which the damage was found,
// when the error concerns bytes of one.
struct Error {
    std::string what;
    std::string where;
    std::optional<std::size_t> offset;

    // "WHERE (byte OFFSET): WHAT", "WHERE: WHAT" without an offset, or just WHAT.
    std::string message() const;
};

// Either a value or an Error. Test with ok() (or in a boolean context) before calling value().
template <typename T>
class Result {
  public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    // Only valid when ok(); calling them on an error is a bug and aborts.
    T& value() & { return *std::get_if<0>(&checked()); }
    const T& value() const& { return *std::get_if<0>(&checked()); }
    T&& value() && { return std::move(*std::get_if<0>(&checked())); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    // Only valid when !ok(); calling it on a value is a bug and aborts.
    const Error& error() const {
        if (ok())
            std::abort();
        return *std::get_if<1>(&state_);
    }

  private:
    std::variant<T, Error>& checked() {
        if (!ok())
            std::abort();
        return state_;
    }
    const std::variant<T, Error>& checked() const {
        if (!ok())
            std::abort();
        return state_;
    }

    std::variant<T, Error> state_;
};

// ---------------------------------------------------------------------------------------------
// Values

// The type word of a stored resource; it decides how the value is encoded.
enum class ValueType { Dim, Pos, Crgb, Short, Flag, String, Font, Data, Multi, Pixmap };

// "dim", "pos", "crgb", "short", "flag", "string", "font", "data", "multi", "pixmap".
std::string_view typeWord(ValueType type);
// The type for a type word; nullopt for a word outside the list above.
std::optional<ValueType> valueTypeFromWord(std::string_view word);

// dim: a size in pixels.
struct Dim {
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const Dim&) const = default;
};

// pos: the top-left corner relative to the parent; either coordinate may be negative.
struct Pos {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const Pos&) const = default;
};

// The toolkit's transparent colour: the widget paints no background.
inline constexpr uint32_t kTransparentColour = 0xFFFFFFFF;

// crgb: a colour 0xRRGGBB, or kTransparentColour. Stored in the shortest lower-case hex form
// ("0xff" for blue, "0x0" for black); `plainZero` records black written as a bare "0", which
// some stored texts use, so that writing gives back the same bytes.
struct Colour {
    uint32_t rgb = 0;
    bool plainZero = false;
    bool operator==(const Colour&) const = default;
};

// flag: the bits of `mask` take the bits of `value`; all other bits keep the class default.
struct Flags {
    uint32_t value = 0;
    uint32_t mask = 0;
    bool operator==(const Flags&) const = default;
};

// Image types of a picture block.
inline constexpr uint32_t kImagePalette8 = 0x10;  // one byte per pixel, an index into the palette
inline constexpr uint32_t kImageDirect24 = 0x21;  // three bytes per pixel: blue, green, red

// pixmap: a decoded picture block.
struct Picture {
    uint32_t imageType = kImagePalette8;
    // Identifies the pixel data: blocks with the same pixels carry the same tag.
    uint32_t imageTag = 0;
    // Width times bytes per pixel rounded up to a multiple of 8; row bytes past the pixels are
    // filler.
    uint32_t bytesPerRow = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    // Identifies the palette: equal palettes carry the same tag; 0 when there is no palette.
    uint32_t paletteTag = 0;
    // Each entry 0x00RRGGBB; empty for direct colour, at most 256 entries.
    std::vector<uint32_t> palette;
    // The palette index whose pixels are not drawn, if any.
    std::optional<uint8_t> transparentIndex;
    // The byte at offset 32 of the block head: 2 in the full-window (600 x 440) pictures, 0 in
    // the others. Kept as stored; its meaning is the toolkit's.
    uint8_t byte32 = 0;
    // bytesPerRow x height bytes, top row first.
    std::vector<uint8_t> pixels;

    bool operator==(const Picture&) const = default;

    // Bytes per pixel of the image type: 1 or 3.
    uint32_t bytesPerPixel() const { return imageType == kImageDirect24 ? 3 : 1; }
    // The pixel row y (width x bytesPerPixel() bytes, filler excluded); y < height.
    std::span<const uint8_t> row(uint32_t y) const {
        return std::span<const uint8_t>(pixels).subspan(std::size_t(y) * bytesPerRow,
                                                        std::size_t(width) * bytesPerPixel());
    }
};

// The picture as width x height pixels of four bytes red, green, blue, alpha (alpha 0 for the
// transparent index, 255 otherwise), rows packed without filler. Suits SDL_PIXELFORMAT_RGBA32.
std::vector<uint8_t> pictureToRgba(const Picture& picture);

// Bytes per row for a width and bytes per pixel: rounded up to a multiple of 8.
uint32_t bytesPerRowFor(uint32_t width, uint32_t bytesPerPixel);

// The value of a resource; which alternative is held follows the type word:
//   Dim: dim; Pos: pos; Colour: crgb; int64_t: short (at least 32 bits, either sign);
//   Flags: flag; std::string: string, font and multi (UTF-8; multi may hold line feeds);
//   uint32_t: data (the widget index within its module); Picture: pixmap.
using Value = std::variant<Dim, Pos, Colour, int64_t, Flags, std::string, uint32_t, Picture>;

// One stored resource. Each number occurs at most once per widget.
struct Resource {
    uint32_t number = 0;
    ValueType type = ValueType::Short;
    Value value;

    bool operator==(const Resource&) const = default;

    // Typed views of the value; null when the value is of another kind.
    const Dim* dim() const { return std::get_if<Dim>(&value); }
    const Pos* pos() const { return std::get_if<Pos>(&value); }
    const Colour* colour() const { return std::get_if<Colour>(&value); }
    const int64_t* integer() const { return std::get_if<int64_t>(&value); }
    const Flags* flags() const { return std::get_if<Flags>(&value); }
    const std::string* text() const { return std::get_if<std::string>(&value); }
    const uint32_t* index() const { return std::get_if<uint32_t>(&value); }
    const Picture* picture() const { return std::get_if<Picture>(&value); }
};

// ---------------------------------------------------------------------------------------------
// Modules and the database

// Resource numbers that the database itself gives meaning to.
inline constexpr uint32_t kResourceWidgetIndex = 1004;   // data: index within the module
inline constexpr uint32_t kResourceLabelPicture = 3001;  // pixmap: the label's picture

struct Widget {
    std::string className;  // a class name of the application's class table, e.g. "PtLabel"
    uint32_t level = 1;     // 1 for the root; n + 1 for a child of the nearest earlier level n
    std::string name;
    std::vector<Resource> resources;  // in stored order

    bool operator==(const Widget&) const = default;

    // The resource with that number, or null.
    const Resource* find(uint32_t number) const;
    // The widget index (resource 1004), if the widget carries one.
    std::optional<uint32_t> widgetIndex() const;
};

// The format line that starts every module text.
inline constexpr std::string_view kFormatLine = "PhAB201.01";

struct Module {
    std::string fileName;         // e.g. "base1.wgtw"; the extension gives the kind of module
    uint32_t offset = 0;          // where the text stood in the database it was read from
    uint32_t size = 0;            // size of the text in bytes, without the "0\n" after it
    uint32_t timeStamp = 0;       // Unix time (seconds, UTC)
    std::vector<Widget> widgets;  // in stored (creation) order, depth first; widgets[0] is the root

    // Equal modules have equal names, time stamps and widgets; offset and size are where the
    // text happened to be stored and do not take part.
    bool operator==(const Module& other) const {
        return fileName == other.fileName && timeStamp == other.timeStamp &&
               widgets == other.widgets;
    }

    // The first widget of that name, or null.
    const Widget* findWidget(std::string_view name) const;
    // The picture (resource 3001) of the widget of that name, or null when there is no such
    // widget or it has no picture. What ApGetImageRes hands out.
    const Picture* findPicture(std::string_view widgetName) const;
    // The parent of widgets[i] (the nearest earlier widget one level up); nullopt for the root.
    std::optional<std::size_t> parentOf(std::size_t i) const;
};

struct Database {
    std::vector<Module> modules;  // in directory order, that is, byte order of the file names

    bool operator==(const Database&) const = default;

    // The module with that file name ("base1.wgtw"), or null.
    const Module* findModule(std::string_view fileName) const;
};

// ---------------------------------------------------------------------------------------------
// Reading

// Reads a whole database (the bytes of the section "QNX_PhAB") and checks everything: the
// directory (names, order, offsets and sizes inside the section, alignment, the "0\n" after each
// text), every module text against the grammar (format line, levels that do not skip, one root,
// known type words, well-formed numbers, counts and picture blocks inside the declared size, the
// fields of each picture head). The first damage found is returned as the Error.
Result<Database> readDatabase(std::span<const uint8_t> bytes);

// Reads one module text (without the "0\n" after it). `fileName` only names the module in
// errors; `baseOffset` is added to offsets in errors. The result has fileName and size set.
Result<Module> readModuleText(std::span<const uint8_t> text, std::string_view fileName,
                              std::size_t baseOffset = 0);

// ---------------------------------------------------------------------------------------------
// Program files

// The contents of the section called `name` (e.g. "QNX_PhAB" or "QNX_usage") of an ELF file
// (32 or 64 bit, either byte order). Errors for a file that is not ELF, a damaged header or
// section table, a missing section or one that runs past the end of the file.
Result<std::vector<uint8_t>> readElfSection(std::span<const uint8_t> file, std::string_view name);

// The whole contents of a file, e.g. "/proc/self/exe". The error names the file and errno.
Result<std::vector<uint8_t>> readFileBytes(const std::string& path);

// The database held by a file: its section "QNX_PhAB" when the file is an ELF program file,
// otherwise the whole file.
Result<std::vector<uint8_t>> readDatabaseBytes(const std::string& path);

// The section name of the widget database in a program file.
inline constexpr std::string_view kDatabaseSection = "QNX_PhAB";

}  // namespace photon::db
