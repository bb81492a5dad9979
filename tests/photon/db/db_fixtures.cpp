#include "db_fixtures.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "photon/db/widget_db_write.h"

namespace photon::db::testing {

Picture palettePicture(uint16_t width, uint16_t height, uint32_t entries,
                       std::optional<uint8_t> transparent) {
    Picture p;
    p.imageType = kImagePalette8;
    p.width = width;
    p.height = height;
    p.bytesPerRow = bytesPerRowFor(width, 1);
    for (uint32_t i = 0; i < entries; ++i)
        p.palette.push_back((i * 0x010203u) & 0xFFFFFF);
    p.transparentIndex = transparent;
    p.pixels.assign(std::size_t(p.bytesPerRow) * height, 0);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            p.pixels[y * p.bytesPerRow + x] = uint8_t((x + y) % entries);
    assignTags(p);
    return p;
}

Picture directPicture(uint16_t width, uint16_t height) {
    Picture p;
    p.imageType = kImageDirect24;
    p.width = width;
    p.height = height;
    p.bytesPerRow = bytesPerRowFor(width, 3);
    p.pixels.assign(std::size_t(p.bytesPerRow) * height, 0);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* pixel = &p.pixels[y * p.bytesPerRow + 3 * x];
            pixel[0] = uint8_t(x * 40);
            pixel[1] = uint8_t(y * 40);
            pixel[2] = uint8_t(200);
        }
    assignTags(p);
    return p;
}

std::vector<uint8_t> assembleDatabase(const std::vector<std::pair<std::string, std::string>>& texts,
                                      uint32_t timeStamp) {
    std::vector<uint8_t> out(4 + 64 * texts.size(), 0);
    auto put32 = [&](std::size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out[at + i] = uint8_t(v >> (8 * i));
    };
    put32(0, uint32_t(texts.size()));
    for (std::size_t i = 0; i < texts.size(); ++i) {
        out.resize((out.size() + 3) / 4 * 4, 0);
        std::size_t entry = 4 + 64 * i;
        std::copy(texts[i].first.begin(), texts[i].first.end(), out.begin() + entry);
        put32(entry + 52, uint32_t(out.size()));
        put32(entry + 56, uint32_t(texts[i].second.size()));
        put32(entry + 60, timeStamp);
        out.insert(out.end(), texts[i].second.begin(), texts[i].second.end());
        out.push_back('0');
        out.push_back('\n');
    }
    return out;
}

Module sampleModule(std::string fileName) {
    auto resource = [](uint32_t number, ValueType type, Value value) {
        return Resource{number, type, std::move(value)};
    };
    Module m;
    m.fileName = std::move(fileName);
    m.timeStamp = 972591765;
    m.widgets.push_back(Widget{"PtWindow",
                               1,
                               "root",
                               {resource(1004, ValueType::Data, uint32_t(0)),
                                resource(1005, ValueType::Dim, Dim{600, 470}),
                                resource(18015, ValueType::String, std::string("P e l m !")),
                                resource(2002, ValueType::Crgb, Colour{kTransparentColour})}});
    m.widgets.push_back(
        Widget{"PtLabel",
               2,
               "picture",
               {resource(1004, ValueType::Data, uint32_t(1)),
                resource(1007, ValueType::Pos, Pos{-11, 440}),
                resource(3001, ValueType::Pixmap, palettePicture(5, 3, 7, uint8_t(2))),
                resource(1006, ValueType::Flag, Flags{0x2080080, 0x4F8A059E})}});
    m.widgets.push_back(Widget{"PtLabel",
                               3,
                               "text",
                               {resource(3011, ValueType::Multi, std::string("1000")),
                                resource(3000, ValueType::Short, int64_t(2)),
                                resource(3010, ValueType::Font, std::string("TextFont10ba")),
                                resource(2001, ValueType::Crgb, Colour{0xFF})}});
    m.widgets.push_back(Widget{"PtTimer",
                               2,
                               "timer",
                               {resource(41000, ValueType::Short, int64_t(2130000000)),
                                resource(2002, ValueType::Crgb, Colour{0, true}),
                                resource(3001, ValueType::Pixmap, directPicture(3, 2))}});
    return m;
}

std::vector<uint8_t> bytesOf(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

TemporaryDirectory::TemporaryDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "phabdb-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace photon::db::testing
