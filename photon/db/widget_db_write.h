// Writing the widget database: the exact inverse of reading (widget_db.h). Reading what is
// written gives back an equal Database, and writing what was read gives back the same bytes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "photon/db/widget_db.h"

namespace photon::db {

// The text of one module, without the "0\n" after it. Fails, naming the widget and resource,
// when the module cannot be stored as it is: a value whose kind does not match its type word, a
// line feed in a one-line value, a resource number 0 or stored twice, levels that skip or a
// second root, an inconsistent picture, a widget or class name that is empty or spans lines.
Result<std::vector<uint8_t>> writeModuleText(const Module& module);

// A whole database: the directory in byte order of the file names, then the texts in the same
// order, each followed by "0\n" and starting at the next multiple of 4 (zero bytes fill the gap).
// The offsets and sizes held in the modules are ignored; the time stamps are written as held.
Result<std::vector<uint8_t>> writeDatabase(const Database& database);

// Tags that identify equal data: equal pixel rows give equal image tags, equal palettes equal
// palette tags. Never 0 (0 stands for "no palette").
uint32_t contentTag(std::span<const uint8_t> bytes);
uint32_t paletteTagFor(const std::vector<uint32_t>& palette);

// Sets imageTag and paletteTag (0 without a palette) from the picture's contents.
void assignTags(Picture& picture);

}  // namespace photon::db
