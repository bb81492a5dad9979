// The readable source form of modules and PNG pictures.
#include <gtest/gtest.h>

#include "db_fixtures.h"
#include "photon/db/module_source.h"
#include "photon/db/png_picture.h"
#include "photon/db/source_string.h"
#include "photon/db/widget_db_write.h"

namespace photon::db {
namespace {

Result<Module> parse(const std::string& text, const PictureLoader& load = nullptr) {
    PictureLoader none = [](const std::string& file) -> Result<Picture> {
        return Error{"no pictures here", file, std::nullopt};
    };
    return parseModuleSource(text, "t.wgtw", load ? load : none);
}

TEST(SourceForm, PrintThenParseGivesTheSameModule) {
    Module module = testing::sampleModule("t.wgtw");
    module.widgets[2].resources.push_back(
        {3011 + 1, ValueType::Multi,
         std::string("line one\n\"quoted\" \\ tab\t\x01\n\u00b4end\n")});
    std::vector<Picture> printed;
    std::string text = printModuleSource(module, [&](const Picture& p, const Widget&) {
        printed.push_back(p);
        return "pictures/p" + std::to_string(printed.size() - 1) + ".png" + pictureOptions(p, p);
    });
    auto back = parse(text, [&](const std::string& file) -> Result<Picture> {
        Picture p = printed.at(std::size_t(file[10] - '0'));
        p.byte32 = 0;
        return p;
    });
    ASSERT_TRUE(back.ok()) << back.error().message() << "\n" << text;
    EXPECT_EQ(*back, module) << text;
}

TEST(SourceForm, MultiLineTextsAndFlagsInHex) {
    auto module = parse(
        "# comment\n"
        "time 972586559\n"
        "widget PtWindow 1 Aboutbx\n"
        "    1006 flag 0x2080080,0x4F8A059E\n"
        "    3011 multi\n"
        "        \"Push the \u00b4p\u00b4 key \"\n"
        "        \"\"\n"
        "        \"the team :-)\"\n"
        "    1008 flag 0,66060288\n"
        "    3010 font \"TextFont11ba\"\n");
    ASSERT_TRUE(module.ok()) << module.error().message();
    const Widget& w = module->widgets.at(0);
    EXPECT_EQ(module->timeStamp, 972586559u);
    EXPECT_EQ(*w.find(1006)->flags(), (Flags{0x2080080, 0x4F8A059E}));
    EXPECT_EQ(*w.find(3011)->text(), "Push the \u00b4p\u00b4 key \n\nthe team :-)");
    EXPECT_EQ(*w.find(1008)->flags(), (Flags{0, 0x3F00000}));
    EXPECT_EQ(*w.find(3010)->text(), "TextFont11ba");
}

struct BadSource {
    const char* text;
    const char* what;
    const char* line;
};

class BadSources : public ::testing::TestWithParam<BadSource> {};

TEST_P(BadSources, NameTheLine) {
    auto module = parse(GetParam().text);
    ASSERT_FALSE(module.ok());
    EXPECT_NE(module.error().what.find(GetParam().what), std::string::npos)
        << module.error().message();
    EXPECT_NE(module.error().where.find(GetParam().line), std::string::npos)
        << module.error().message();
}

INSTANTIATE_TEST_SUITE_P(
    Sources, BadSources,
    ::testing::Values(
        BadSource{"widget PtPane 1 p\n", "no line \"time SECONDS\"", "line 1"},
        BadSource{"time 1\n1005 dim 1,1\n", "before the first widget", "line 2"},
        BadSource{"time 1\nwidget PtPane 1 p\n1005 size 1,1\n", "unknown type word \"size\"",
                  "line 3"},
        BadSource{"time 1\nwidget PtPane 1 p\n1005 dim 1;1\n", "malformed dim", "line 3"},
        BadSource{"time 1\nwidget PtPane 1 p\n3011 multi \"open\n", "malformed multi", "line 3"},
        BadSource{"time 1\nwidget PtPane 1 p\n3011 multi \"bad \\q\"\n", "malformed multi",
                  "line 3"},
        BadSource{"time 1\nwidget PtPane 1 p\n3011 multi\n1005 dim 1,1\n", "without quoted lines",
                  "line 3"},
        BadSource{"time 1\nwidget PtPane 1 p\n3001 pixmap ../outside.png\n", "below the module",
                  "line 3"},
        BadSource{"time 1\nwidget PtPane 1 p\n3001 pixmap /etc/x.png\n", "below the module",
                  "line 3"},
        BadSource{"time 1\nwidget PtPane\n", "expected \"widget CLASS LEVEL NAME\"", "line 2"}));

TEST(SourceForm, PictureOptionsOverridePaletteEntriesAndHeadByte) {
    Picture base = testing::palettePicture(4, 2, 3, uint8_t(0));
    auto module =
        parse("time 1\nwidget PtLabel 1 g\n3001 pixmap g.png byte32=2 palette[0]=0x123456\n",
              [&](const std::string&) -> Result<Picture> { return base; });
    ASSERT_TRUE(module.ok()) << module.error().message();
    const Picture& p = *module->widgets[0].find(3001)->picture();
    EXPECT_EQ(p.byte32, 2);
    EXPECT_EQ(p.palette[0], 0x123456u);
    EXPECT_EQ(p.imageTag, base.imageTag);
    Picture expected = base;
    expected.palette[0] = 0x123456;
    assignTags(expected);
    EXPECT_EQ(p.paletteTag, expected.paletteTag);
    EXPECT_EQ(pictureOptions(p, base), " byte32=2 palette[0]=0x123456");

    auto outside = parse("time 1\nwidget PtLabel 1 g\n3001 pixmap g.png palette[3]=0x0\n",
                         [&](const std::string&) -> Result<Picture> { return base; });
    ASSERT_FALSE(outside.ok());
    EXPECT_NE(outside.error().what.find("outside the picture's palette"), std::string::npos);
}

TEST(SourceForm, QuotedStringsRoundTripEveryByte) {
    std::string all;
    for (int c = 1; c < 256; ++c)
        all += char(c);
    auto back = unquoteSourceString(quoteSourceString(all));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, all);
    EXPECT_EQ(quoteSourceString("a\"b\\c\nd"), "\"a\\\"b\\\\c\\nd\"");
    for (const char* bad : {"", "\"", "noquotes", "\"a\"b\"", "\"\\x4\"", "\"\\\""})
        EXPECT_FALSE(unquoteSourceString(bad).has_value()) << bad;
}

// Overwrites bytes of the data of the PNG chunk whose type starts at `type` and recomputes the
// chunk's CRC, so that libpng reads the changed values instead of refusing the chunk.
void patchChunk(std::string& file, std::size_t type, std::size_t at, const std::string& bytes) {
    uint32_t length = 0;
    for (int i = 0; i < 4; ++i)
        length = length << 8 | uint8_t(file[type - 4 + i]);
    file.replace(type + 4 + at, bytes.size(), bytes);
    uint32_t crc = 0xFFFFFFFF;
    for (unsigned char c : file.substr(type, 4 + length)) {
        crc ^= c;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    crc ^= 0xFFFFFFFF;
    for (int i = 0; i < 4; ++i)
        file[type + 4 + length + i] = char(crc >> (24 - 8 * i));
}

TEST(PngPictures, PaletteTransparencyAndDirectColourSurviveAFile) {
    testing::TemporaryDirectory directory;
    for (const Picture& original :
         {testing::palettePicture(82, 100, 233, uint8_t(0)), testing::palettePicture(89, 100, 256),
          testing::palettePicture(82, 100, 86, uint8_t(0x40)), testing::directPicture(320, 196)}) {
        auto path = (directory.path() / "p.png").string();
        ASSERT_FALSE(writePngPicture(original, path).has_value());
        auto back = readPngPicture(path);
        ASSERT_TRUE(back.ok()) << back.error().message();
        Picture expected = original;
        expected.imageTag = expected.paletteTag = 0;
        EXPECT_EQ(*back, expected);
    }
}

TEST(PngPictures, RefusesPartialTransparencyAndMissingFiles) {
    testing::TemporaryDirectory directory;
    auto missing = readPngPicture((directory.path() / "none.png").string());
    ASSERT_FALSE(missing.ok());
    EXPECT_NE(missing.error().message().find("none.png: open:"), std::string::npos);

    // Two transparent indices cannot be stored: the block has room for one.
    Picture picture = testing::palettePicture(4, 4, 4, uint8_t(1));
    auto path = (directory.path() / "two.png").string();
    ASSERT_FALSE(writePngPicture(picture, path).has_value());
    auto bytes = readFileBytes(path);
    ASSERT_TRUE(bytes.ok());
    std::string file(bytes->begin(), bytes->end());
    std::size_t trns = file.find("tRNS");
    ASSERT_NE(trns, std::string::npos);
    ASSERT_EQ(uint8_t(file[trns + 4]), 255);  // index 0 opaque, index 1 transparent
    patchChunk(file, trns, 0, std::string(1, '\0'));
    testing::writeFile(path, std::vector<uint8_t>(file.begin(), file.end()));
    auto two = readPngPicture(path);
    ASSERT_FALSE(two.ok());
    EXPECT_NE(two.error().what.find("tRNS"), std::string::npos) << two.error().message();
}

TEST(PngPictures, RefusesHugeDeclaredSizesBeforeTakingMemory) {
    testing::TemporaryDirectory directory;
    auto path = (directory.path() / "huge.png").string();
    ASSERT_FALSE(writePngPicture(testing::palettePicture(4, 4, 4, std::nullopt), path).has_value());
    auto bytes = readFileBytes(path);
    ASSERT_TRUE(bytes.ok());
    std::string file(bytes->begin(), bytes->end());
    std::size_t ihdr = file.find("IHDR");
    ASSERT_NE(ihdr, std::string::npos);
    // Width and height of a million pixels each, big-endian: a terabyte of pixels.
    const std::string million("\x00\x0f\x42\x40", 4);
    patchChunk(file, ihdr, 0, million + million);
    testing::writeFile(path, std::vector<uint8_t>(file.begin(), file.end()));
    auto huge = readPngPicture(path);
    ASSERT_FALSE(huge.ok());
    EXPECT_NE(huge.error().what.find("picture size"), std::string::npos) << huge.error().message();
}

}  // namespace
}  // namespace photon::db
