// The source form of a module: a readable, diffable text from which the stored module text is
// packed, line for line. One file per module, named like the module ("base1.wgtw"); pictures
// are PNG files beside it. Example:
//
//   # Lines starting with '#' are comments; blank lines are ignored.
//   time 972591765
//   widget PtWindow 1 base1
//       1004 data 0
//       1005 dim 600,470
//       1006 flag 0x2080080,0x4f8a059e
//       2002 crgb 0xffffffff
//       18015 string "P e l m !"
//       3011 multi "one line"
//       3011 multi
//           "first line"
//           "second line, then no line feed"
//       3001 pixmap pictures/gremlin.png byte32=2 palette[0]=0x58a000
//       widget PtLabel 2 PtLabel2
//
// `time` is the module's time stamp (Unix seconds). `widget CLASS LEVEL NAME` starts a widget;
// the lines after it, up to the next widget, are its resources in stored order: number, type
// word, value. Values are written as stored except:
//   - flag: value and mask may be written in hex ("0x...") as well as in decimal;
//   - string, font, multi: a double-quoted string with the escapes \" \\ \n \t and \xHH; bytes
//     of 0x80 and up stand for themselves (UTF-8). A multi written with nothing after its type
//     word takes the quoted lines that follow, joined by line feeds (none after the last);
//   - pixmap: a PNG file, by a path relative to the source's directory that does not leave it,
//     then options: byte32=N (the byte at offset 32
//     of the block head, default 0), palette[I]=0xRRGGBB (replaces palette entry I),
//     imagetag=0x... and palettetag=0x... (default: computed from the contents, so that equal
//     pixels and equal palettes get equal tags).
// Indentation carries no meaning; the level number alone gives the nesting.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "photon/db/widget_db.h"

namespace photon::db {

// Loads the picture of a pixmap line by file name.
using PictureLoader = std::function<Result<Picture>(const std::string& file)>;

// Parses one module source. Errors name `fileName` and the line.
Result<Module> parseModuleSource(std::string_view text, std::string_view fileName,
                                 const PictureLoader& loadPicture);

// How a printed pixmap line refers to its picture: the file and the options after it.
using PictureNamer = std::function<std::string(const Picture& picture, const Widget& widget)>;

// The source text of a module; `namePicture` gives the rest of each pixmap line.
std::string printModuleSource(const Module& module, const PictureNamer& namePicture);

// The options of a pixmap line that make `base` (as loaded from its PNG) into `picture`:
// byte32, palette entries that differ, and tags that differ from the computed ones. Empty when
// nothing differs. Both must have the same image type and palette size.
std::string pictureOptions(const Picture& picture, const Picture& base);

// Every module source (a file whose extension begins with ".wgt") of a directory, with the
// pictures they name read from PNG files below it.
Result<Database> loadSourceDirectory(const std::filesystem::path& directory);

// Writes every module of `database` into `directory` as a source file, and its distinct pictures
// as PNG files in its subdirectory "pictures", named after the first widget that shows each. A
// picture that differs from an earlier one only in palette entries is written as that one with
// palette[I] options.
std::optional<Error> writeSourceDirectory(const Database& database,
                                          const std::filesystem::path& directory);

}  // namespace photon::db
