// Pictures as PNG files: an indexed PNG (colour type 3) is a palette picture, with its PLTE as
// the palette and the index that its tRNS chunk makes fully transparent as the transparent
// index; an 8-bit RGB PNG (colour type 2) is a direct-colour picture.
#pragma once

#include <optional>
#include <string>

#include "photon/db/widget_db.h"

namespace photon::db {

// Reads a PNG into a picture with byte32 0 and tags 0; rows are padded with zero filler to the
// stored bytes per row. Fails on other colour types, on 16-bit depth, and on a tRNS chunk that
// is not exactly one alpha of 0 with every other alpha 255.
Result<Picture> readPngPicture(const std::string& path);

// Writes a picture as a PNG of the same kind; row filler is not kept.
std::optional<Error> writePngPicture(const Picture& picture, const std::string& path);

}  // namespace photon::db
