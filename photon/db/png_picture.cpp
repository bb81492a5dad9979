// PNG reading and writing through libpng. libpng reports errors by longjmp, so every libpng call
// stays inside a function whose own locals are plain values; the C++ objects it fills live in
// the caller's frame.
#include "photon/db/png_picture.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace photon::db {
namespace {

struct PngMessage {
    char text[256] = "";
};

void onPngError(png_structp png, png_const_charp message) {
    auto* out = static_cast<PngMessage*>(png_get_error_ptr(png));
    std::snprintf(out->text, sizeof out->text, "%s", message);
    png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

Error pngError(const std::string& path, std::string what) {
    return Error{std::move(what), path, std::nullopt};
}

// The fields of a PNG that a picture needs, read by readPngRaw.
struct PngRaw {
    uint32_t width = 0;
    uint32_t height = 0;
    int colourType = 0;
    int bitDepth = 0;
    std::vector<uint32_t> palette;
    std::vector<uint8_t> alphas;  // tRNS of a palette PNG
    std::vector<uint8_t> pixels;  // rows of width x (1 or 3) bytes
};

// A picture block stores width and height in 16 bits each.
constexpr uint32_t kMaxPictureSide = 0xFFFF;

// Returns an empty string on success, else the problem.
std::string readPngRaw(std::FILE* file, PngRaw& raw) {
    PngMessage message;
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &message, onPngError, onPngWarning);
    if (png == nullptr)
        return "cannot start libpng";
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows;
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return message.text[0] ? message.text : "cannot read PNG";
    }
    png_init_io(png, file);
    png_read_info(png, info);
    raw.width = png_get_image_width(png, info);
    raw.height = png_get_image_height(png, info);
    raw.colourType = png_get_color_type(png, info);
    raw.bitDepth = png_get_bit_depth(png, info);
    // Checked before any pixel memory is taken: a header may declare a million pixels a side.
    if (raw.width == 0 || raw.width > kMaxPictureSide || raw.height == 0 ||
        raw.height > kMaxPictureSide) {
        png_destroy_read_struct(&png, &info, nullptr);
        return "picture size outside 1 to 65535 pixels";
    }
    bool paletted = raw.colourType == PNG_COLOR_TYPE_PALETTE;
    if ((!paletted && raw.colourType != PNG_COLOR_TYPE_RGB) || (!paletted && raw.bitDepth != 8)) {
        png_destroy_read_struct(&png, &info, nullptr);
        return "only indexed and 8-bit RGB PNG files hold pictures";
    }
    if (paletted) {
        png_colorp entries = nullptr;
        int count = 0;
        png_get_PLTE(png, info, &entries, &count);
        for (int i = 0; i < count; ++i)
            raw.palette.push_back(uint32_t(entries[i].red) << 16 | uint32_t(entries[i].green) << 8 |
                                  entries[i].blue);
        png_bytep alpha = nullptr;
        int alphaCount = 0;
        if (png_get_tRNS(png, info, &alpha, &alphaCount, nullptr))
            raw.alphas.assign(alpha, alpha + alphaCount);
        png_set_packing(png);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    std::size_t rowBytes = png_get_rowbytes(png, info);
    raw.pixels.resize(rowBytes * raw.height);
    for (uint32_t y = 0; y < raw.height; ++y)
        rows.push_back(raw.pixels.data() + y * rowBytes);
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return {};
}

std::string writePngRaw(std::FILE* file, const PngRaw& raw) {
    PngMessage message;
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &message, onPngError, onPngWarning);
    if (png == nullptr)
        return "cannot start libpng";
    png_infop info = png_create_info_struct(png);
    std::vector<png_color> entries;
    std::vector<png_bytep> rows;
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return message.text[0] ? message.text : "cannot write PNG";
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, raw.width, raw.height, 8, raw.colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (raw.colourType == PNG_COLOR_TYPE_PALETTE) {
        for (uint32_t colour : raw.palette)
            entries.push_back(
                png_color{png_byte(colour >> 16), png_byte(colour >> 8), png_byte(colour)});
        png_set_PLTE(png, info, entries.data(), int(entries.size()));
        if (!raw.alphas.empty())
            png_set_tRNS(png, info, raw.alphas.data(), int(raw.alphas.size()), nullptr);
    }
    png_write_info(png, info);
    std::size_t rowBytes = raw.pixels.size() / raw.height;
    for (uint32_t y = 0; y < raw.height; ++y)
        rows.push_back(const_cast<png_bytep>(raw.pixels.data() + y * rowBytes));
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return {};
}

// The one index that tRNS makes transparent; every other alpha must be 255.
Result<std::optional<uint8_t>> transparentIndexOf(const PngRaw& raw, const std::string& path) {
    std::optional<uint8_t> index;
    for (std::size_t i = 0; i < raw.alphas.size(); ++i) {
        if (raw.alphas[i] == 255)
            continue;
        if (raw.alphas[i] != 0 || index)
            return pngError(path, "tRNS must give alpha 0 to one index and 255 to all others");
        index = uint8_t(i);
    }
    return index;
}

}  // namespace

Result<Picture> readPngPicture(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return pngError(path, "open: " + std::string(std::strerror(errno)));
    PngRaw raw;
    std::string problem = readPngRaw(file, raw);
    std::fclose(file);
    if (!problem.empty())
        return pngError(path, problem);
    Picture picture;
    picture.width = uint16_t(raw.width);
    picture.height = uint16_t(raw.height);
    if (raw.colourType == PNG_COLOR_TYPE_PALETTE) {
        auto transparent = transparentIndexOf(raw, path);
        if (!transparent)
            return transparent.error();
        picture.imageType = kImagePalette8;
        picture.palette = std::move(raw.palette);
        picture.transparentIndex = *transparent;
    } else {
        picture.imageType = kImageDirect24;
    }
    uint32_t pixelBytes = picture.bytesPerPixel();
    picture.bytesPerRow = bytesPerRowFor(picture.width, pixelBytes);
    picture.pixels.assign(std::size_t(picture.bytesPerRow) * picture.height, 0);
    std::size_t rowBytes = std::size_t(picture.width) * pixelBytes;
    for (uint32_t y = 0; y < picture.height; ++y) {
        const uint8_t* in = raw.pixels.data() + y * rowBytes;
        uint8_t* out = picture.pixels.data() + std::size_t(y) * picture.bytesPerRow;
        if (pixelBytes == 1) {
            std::memcpy(out, in, rowBytes);
            continue;
        }
        for (std::size_t x = 0; x < rowBytes; x += 3) {  // RGB in the PNG, BGR when stored
            out[x] = in[x + 2];
            out[x + 1] = in[x + 1];
            out[x + 2] = in[x];
        }
    }
    return picture;
}

std::optional<Error> writePngPicture(const Picture& picture, const std::string& path) {
    PngRaw raw;
    raw.width = picture.width;
    raw.height = picture.height;
    bool paletted = picture.imageType == kImagePalette8;
    raw.colourType = paletted ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB;
    raw.palette = picture.palette;
    if (picture.transparentIndex) {
        raw.alphas.assign(std::size_t(*picture.transparentIndex) + 1, 255);
        raw.alphas.back() = 0;
    }
    for (uint32_t y = 0; y < picture.height; ++y) {
        auto row = picture.row(y);
        if (paletted) {
            raw.pixels.insert(raw.pixels.end(), row.begin(), row.end());
            continue;
        }
        for (std::size_t x = 0; x + 2 < row.size(); x += 3)
            raw.pixels.insert(raw.pixels.end(), {row[x + 2], row[x + 1], row[x]});
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return pngError(path, "open: " + std::string(std::strerror(errno)));
    std::string problem = writePngRaw(file, raw);
    if (std::fclose(file) != 0 && problem.empty())
        problem = "close: " + std::string(std::strerror(errno));
    if (!problem.empty())
        return pngError(path, problem);
    return std::nullopt;
}

}  // namespace photon::db
