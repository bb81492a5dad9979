// The binary picture block of a pixmap value: a 56-byte head, the palette, the pixel rows.
// Shared by the reader and the writer so that both agree on every field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "photon/db/widget_db.h"

namespace photon::db {

inline constexpr std::size_t kPictureHeadSize = 56;
inline constexpr uint32_t kTransparentMarker = 0x02000000;  // plus the transparent index
inline constexpr uint8_t kTransparentInUse = 0x80;          // byte 33 when a colour is transparent
inline constexpr uint32_t kMaxPaletteEntries = 256;

// Decodes the block that starts at bytes[0]. On success `used` is the block's length. The error
// (what only; the caller adds where) names the first field that is wrong, or the block running
// past the end of `bytes`.
struct PictureDecode {
    Picture picture;
    std::size_t used = 0;
    std::string error;        // empty on success
    std::size_t errorAt = 0;  // offset within bytes of the damage
};
PictureDecode decodePictureBlock(std::span<const uint8_t> bytes);

// What is wrong with a picture that is about to be written, or empty when it is consistent.
std::string pictureProblem(const Picture& picture);

// Appends the block of a consistent picture (see pictureProblem).
void encodePictureBlock(const Picture& picture, std::vector<uint8_t>& out);

}  // namespace photon::db
