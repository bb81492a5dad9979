#include "photon/db/picture_block.h"

#include <algorithm>
#include <cstdio>

#include "photon/db/byte_order.h"

namespace photon::db {
namespace {

std::string hex(uint32_t v) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%x", v);
    return buffer;
}

// Problems with the head fields of a picture, before its palette and pixels are looked at.
std::string headProblem(const Picture& p) {
    if (p.imageType != kImagePalette8 && p.imageType != kImageDirect24)
        return "unknown image type " + hex(p.imageType);
    if (p.width == 0 || p.height == 0)
        return "empty picture " + std::to_string(p.width) + "x" + std::to_string(p.height);
    uint32_t expectedRow = bytesPerRowFor(p.width, p.bytesPerPixel());
    if (p.bytesPerRow != expectedRow)
        return "bytes per row " + std::to_string(p.bytesPerRow) + " for width " +
               std::to_string(p.width) + " (expected " + std::to_string(expectedRow) + ")";
    if (p.imageType == kImageDirect24) {
        if (!p.palette.empty())
            return "direct-colour picture with a palette";
        if (p.paletteTag != 0)
            return "direct-colour picture with a palette tag";
        if (p.transparentIndex)
            return "direct-colour picture with a transparent index";
    } else {
        if (p.palette.empty() || p.palette.size() > kMaxPaletteEntries)
            return "palette of " + std::to_string(p.palette.size()) + " entries (1 to 256 allowed)";
        if (p.transparentIndex && *p.transparentIndex >= p.palette.size())
            return "transparent index " + std::to_string(*p.transparentIndex) +
                   " outside the palette of " + std::to_string(p.palette.size()) + " entries";
    }
    return {};
}

struct Problem {
    std::string what;
    std::size_t at = 0;  // offset within the block
};

// Problems with the palette and the pixels of a picture whose head is sound.
Problem contentProblem(const Picture& p) {
    for (std::size_t i = 0; i < p.palette.size(); ++i) {
        if (p.palette[i] > 0xFFFFFF)
            return {"palette entry " + std::to_string(i) + " " + hex(p.palette[i]) +
                        " is not a colour 0x00RRGGBB",
                    kPictureHeadSize + 4 * i};
    }
    std::size_t pixelStart = kPictureHeadSize + 4 * p.palette.size();
    if (p.pixels.size() != std::size_t(p.bytesPerRow) * p.height)
        return {"pixel data of " + std::to_string(p.pixels.size()) + " bytes (expected " +
                    std::to_string(std::size_t(p.bytesPerRow) * p.height) + ")",
                pixelStart};
    if (p.imageType != kImagePalette8)
        return {};
    for (uint32_t y = 0; y < p.height; ++y) {
        auto row = p.row(y);
        auto bad = std::find_if(row.begin(), row.end(),
                                [&](uint8_t index) { return index >= p.palette.size(); });
        if (bad != row.end())
            return {"pixel (" + std::to_string(bad - row.begin()) + ", " + std::to_string(y) +
                        ") uses index " + std::to_string(*bad) + " outside the palette of " +
                        std::to_string(p.palette.size()) + " entries",
                    pixelStart + std::size_t(y) * p.bytesPerRow + (bad - row.begin())};
    }
    return {};
}

bool allZero(std::span<const uint8_t> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
}

}  // namespace

PictureDecode decodePictureBlock(std::span<const uint8_t> bytes) {
    PictureDecode result;
    auto fail = [&](std::string what, std::size_t at) {
        result.error = std::move(what);
        result.errorAt = at;
        return result;
    };
    if (bytes.size() < kPictureHeadSize)
        return fail("picture head of 56 bytes runs past the end of the module text (" +
                        std::to_string(bytes.size()) + " bytes left)",
                    0);
    const uint8_t* h = bytes.data();
    Picture& p = result.picture;
    p.imageType = loadLe32(h);
    p.imageTag = loadLe32(h + 4);
    p.bytesPerRow = loadLe32(h + 8);
    p.width = loadLe16(h + 12);
    p.height = loadLe16(h + 14);
    p.paletteTag = loadLe32(h + 16);
    uint32_t entries = loadLe32(h + 20);
    uint32_t transparent = loadLe32(h + 28);
    p.byte32 = h[32];

    if (loadLe32(h + 24) != 0)
        return fail("picture head word at 24 is not 0", 24);
    if (h[34] != 0 || h[35] != 0)
        return fail("picture head bytes 34 and 35 are not 0", 34);
    if (!allZero(bytes.subspan(36, 20)))
        return fail("picture head words 36 to 55 are not 0", 36);
    if (entries > kMaxPaletteEntries)
        return fail("palette of " + std::to_string(entries) + " entries (at most 256)", 20);
    if (transparent != 0) {
        if ((transparent & 0xFFFFFF00) != kTransparentMarker)
            return fail("transparent colour " + hex(transparent) + " is not 0x020000NN", 28);
        p.transparentIndex = uint8_t(transparent & 0xFF);
    }
    uint8_t expectedUse = p.transparentIndex ? kTransparentInUse : 0;
    if (h[33] != expectedUse)
        return fail("picture head byte 33 is " + hex(h[33]) + ", expected " + hex(expectedUse), 33);
    p.palette.resize(entries);
    if (std::string problem = headProblem(p); !problem.empty())
        return fail(problem, 0);

    std::size_t pixelBytes = std::size_t(p.bytesPerRow) * p.height;
    std::size_t length = kPictureHeadSize + 4 * std::size_t(entries) + pixelBytes;
    if (length > bytes.size())
        return fail("picture block of " + std::to_string(length) +
                        " bytes runs past the end of the module text (" +
                        std::to_string(bytes.size()) + " bytes left)",
                    0);
    for (uint32_t i = 0; i < entries; ++i)
        p.palette[i] = loadLe32(h + kPictureHeadSize + 4 * i);
    const uint8_t* pixels = h + kPictureHeadSize + 4 * std::size_t(entries);
    p.pixels.assign(pixels, pixels + pixelBytes);
    if (Problem problem = contentProblem(p); !problem.what.empty())
        return fail(problem.what, problem.at);
    result.used = length;
    return result;
}

std::string pictureProblem(const Picture& picture) {
    if (std::string problem = headProblem(picture); !problem.empty())
        return problem;
    return contentProblem(picture).what;
}

void encodePictureBlock(const Picture& p, std::vector<uint8_t>& out) {
    uint8_t head[kPictureHeadSize] = {};
    storeLe32(head, p.imageType);
    storeLe32(head + 4, p.imageTag);
    storeLe32(head + 8, p.bytesPerRow);
    storeLe16(head + 12, p.width);
    storeLe16(head + 14, p.height);
    storeLe32(head + 16, p.paletteTag);
    storeLe32(head + 20, uint32_t(p.palette.size()));
    if (p.transparentIndex) {
        storeLe32(head + 28, kTransparentMarker | *p.transparentIndex);
        head[33] = kTransparentInUse;
    }
    head[32] = p.byte32;
    out.insert(out.end(), head, head + kPictureHeadSize);
    for (uint32_t colour : p.palette)
        appendLe32(out, colour);
    out.insert(out.end(), p.pixels.begin(), p.pixels.end());
}

}  // namespace photon::db
