// The stored format as written and read: value encodings and their edge cases, picture blocks,
// and the layout of a whole database.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "db_fixtures.h"
#include "photon/db/widget_db.h"
#include "photon/db/widget_db_write.h"

namespace photon::db {
namespace {

using testing::bytesOf;

Result<Module> readText(const std::string& text) {
    auto bytes = bytesOf(text);
    return readModuleText(bytes, "t.wgtw");
}

std::string textOf(const Module& module) {
    auto bytes = writeModuleText(module);
    EXPECT_TRUE(bytes.ok()) << (bytes.ok() ? "" : bytes.error().message());
    return bytes.ok() ? std::string(bytes->begin(), bytes->end()) : std::string();
}

Module oneWidget(std::vector<Resource> resources) {
    return Module{"t.wgtw", 0, 0, 0, {Widget{"PtLabel", 1, "w", std::move(resources)}}};
}

TEST(StoredFormat, MultiRunsStraightIntoTheNextResourceNumber) {
    auto module = readText("PhAB201.01\nPtLabel\n1\nw\n3011\nmulti\n4\n10003000\nshort\n2\n0\n");
    ASSERT_TRUE(module.ok()) << module.error().message();
    const Widget& w = module->widgets.at(0);
    ASSERT_EQ(w.resources.size(), 2u);
    EXPECT_EQ(*w.find(3011)->text(), "1000");
    EXPECT_EQ(*w.find(3000)->integer(), 2);
    EXPECT_EQ(textOf(*module),
              "PhAB201.01\nPtLabel\n1\nw\n3011\nmulti\n4\n10003000\nshort\n2\n0\n");
}

TEST(StoredFormat, MultiCountsBytesNotCharacters) {
    // U+00B4 is two bytes in UTF-8; the line feed inside is part of the value.
    std::string help = "Push the \u00b4p\u00b4 key\nGood Luck!";
    ASSERT_EQ(help.size(), 29u);
    std::string text = textOf(
        oneWidget({{3011, ValueType::Multi, help}, {5002, ValueType::Flag, Flags{0, 0xAF}}}));
    EXPECT_NE(text.find("3011\nmulti\n29\n" + help + "5002\nflag\n0,175\n"), std::string::npos)
        << text;
    auto back = readText(text);
    ASSERT_TRUE(back.ok()) << back.error().message();
    EXPECT_EQ(*back->widgets[0].find(3011)->text(), help);
    EXPECT_EQ(back->widgets[0].find(5002)->flags()->mask, 0xAFu);
}

TEST(StoredFormat, PictureBlockIsFollowedAtOnceByTheNextResourceNumber) {
    Picture picture = testing::palettePicture(82, 100, 233, uint8_t(0));
    std::string text = textOf(
        oneWidget({{3001, ValueType::Pixmap, picture}, {3022, ValueType::Short, int64_t(0)}}));
    std::size_t block = text.find("3001\npixmap\n") + std::strlen("3001\npixmap\n");
    std::size_t length = 56 + 4 * 233 + 88 * 100;
    EXPECT_EQ(text.substr(block + length), "3022\nshort\n0\n0\n");
    auto back = readText(text);
    ASSERT_TRUE(back.ok()) << back.error().message();
    EXPECT_EQ(*back->widgets[0].find(3001)->picture(), picture);
    EXPECT_EQ(*back->widgets[0].find(3022)->integer(), 0);
}

struct ColourCase {
    Colour colour;
    const char* stored;
};

class ColourForms : public ::testing::TestWithParam<ColourCase> {};

TEST_P(ColourForms, WrittenInShortestHexAndReadBack) {
    std::string text = textOf(oneWidget({{2002, ValueType::Crgb, GetParam().colour}}));
    EXPECT_NE(text.find(std::string("2002\ncrgb\n") + GetParam().stored + "\n0\n"),
              std::string::npos)
        << text;
    auto back = readText(text);
    ASSERT_TRUE(back.ok()) << back.error().message();
    EXPECT_EQ(*back->widgets[0].find(2002)->colour(), GetParam().colour);
}

INSTANTIATE_TEST_SUITE_P(Colours, ColourForms,
                         ::testing::Values(ColourCase{{0x0, false}, "0x0"},
                                           ColourCase{{0xFF, false}, "0xff"},
                                           ColourCase{{0x802B2B, false}, "0x802b2b"},
                                           ColourCase{{0x0C9804, false}, "0xc9804"},
                                           ColourCase{{kTransparentColour, false}, "0xffffffff"},
                                           ColourCase{{0x0, true}, "0"}));

struct LineCase {
    const char* type;
    const char* line;
    bool accepted;
};

class ValueLines : public ::testing::TestWithParam<LineCase> {};

// Accepted lines come back unchanged from the writer; every other spelling is refused, so that
// reading and writing stay exact inverses.
TEST_P(ValueLines, AcceptOnlyTheCanonicalForm) {
    std::string text = std::string("PhAB201.01\nPtLabel\n1\nw\n7\n") + GetParam().type + "\n" +
                       GetParam().line + "\n0\n";
    auto module = readText(text);
    ASSERT_EQ(module.ok(), GetParam().accepted) << (module.ok() ? "" : module.error().message());
    if (module.ok()) {
        EXPECT_EQ(textOf(*module), text);
    } else {
        EXPECT_NE(module.error().what.find("malformed"), std::string::npos);
        EXPECT_NE(module.error().where.find("line 7"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ValueLines,
    ::testing::Values(LineCase{"short", "2130000000", true}, LineCase{"short", "-5", true},
                      LineCase{"short", "4294967295", true}, LineCase{"short", "4294967296", false},
                      LineCase{"short", "007", false}, LineCase{"short", "-0", false},
                      LineCase{"short", "+5", false}, LineCase{"short", "", false},
                      LineCase{"pos", "-2,-2", true}, LineCase{"pos", "-11,440", true},
                      LineCase{"pos", "1,2,3", false}, LineCase{"dim", "600,470", true},
                      LineCase{"dim", "600x470", false}, LineCase{"dim", "600, 470", false},
                      LineCase{"flag", "34078848,1334445470", true},
                      LineCase{"flag", "0x100,0x100", false},
                      LineCase{"flag", "4294967296,1", false}, LineCase{"crgb", "0x00ff", false},
                      LineCase{"crgb", "0xFF", false}, LineCase{"crgb", "0x1000000", false},
                      LineCase{"crgb", "ff", false}, LineCase{"data", "35", true},
                      LineCase{"data", "-1", false}, LineCase{"string", "P e l m !", true},
                      LineCase{"font", "TextFont11ba", true}));

TEST(StoredFormat, PictureHeadFields) {
    Picture gremlin = testing::palettePicture(82, 100, 233, uint8_t(0xA2));
    Picture table = testing::palettePicture(600, 440, 150);
    table.byte32 = 2;
    Picture title = testing::directPicture(320, 196);
    struct Expect {
        const Picture* picture;
        uint32_t type, row, entries, transparent;
        uint8_t byte32, byte33;
    };
    for (const Expect& e :
         {Expect{&gremlin, 0x10, 88, 233, 0x020000A2, 0, 0x80},
          Expect{&table, 0x10, 600, 150, 0, 2, 0}, Expect{&title, 0x21, 960, 0, 0, 0, 0}}) {
        std::string text = textOf(oneWidget({{3001, ValueType::Pixmap, *e.picture}}));
        auto head = reinterpret_cast<const uint8_t*>(text.data()) + text.find("pixmap\n") + 7;
        auto word = [&](int at) {
            return uint32_t(head[at]) | uint32_t(head[at + 1]) << 8 | uint32_t(head[at + 2]) << 16 |
                   uint32_t(head[at + 3]) << 24;
        };
        EXPECT_EQ(word(0), e.type);
        EXPECT_EQ(word(4), e.picture->imageTag);
        EXPECT_EQ(word(8), e.row);
        EXPECT_EQ(word(12), uint32_t(e.picture->width) | uint32_t(e.picture->height) << 16);
        EXPECT_EQ(word(16), e.picture->paletteTag);
        EXPECT_EQ(word(20), e.entries);
        EXPECT_EQ(word(24), 0u);
        EXPECT_EQ(word(28), e.transparent);
        EXPECT_EQ(head[32], e.byte32);
        EXPECT_EQ(head[33], e.byte33);
        EXPECT_TRUE(std::all_of(head + 34, head + 56, [](uint8_t b) { return b == 0; }));
        if (e.entries > 1) {
            EXPECT_EQ(word(56 + 4), e.picture->palette[1]);
        }
        std::size_t length = 56 + 4 * e.entries + std::size_t(e.row) * e.picture->height;
        EXPECT_EQ(text.size() - (head - reinterpret_cast<const uint8_t*>(text.data())),
                  length + 2);  // the block, then the "0" line that ends the widget
    }
}

TEST(StoredFormat, TagsAreEqualForEqualPixelsAndPalettes) {
    Picture a = testing::palettePicture(82, 100, 233, uint8_t(0));
    Picture b = a;
    b.palette[0] ^= 0x123456;
    assignTags(b);
    EXPECT_EQ(a.imageTag, b.imageTag);
    EXPECT_NE(a.paletteTag, b.paletteTag);
    Picture c = testing::palettePicture(82, 100, 160, uint8_t(0));
    EXPECT_NE(a.imageTag, c.imageTag);
    EXPECT_EQ(testing::directPicture(3, 2).paletteTag, 0u);
}

TEST(StoredFormat, WholeDatabaseLayoutAndRoundTrip) {
    Database database;
    for (const char* name : {"zeta.wgtd", "Alpha.wgtp", "base1.wgtw"})
        database.modules.push_back(testing::sampleModule(name));
    database.modules[1].widgets.pop_back();  // texts of different sizes, so that padding shows
    auto bytes = writeDatabase(database);
    ASSERT_TRUE(bytes.ok()) << bytes.error().message();

    auto back = readDatabase(*bytes);
    ASSERT_TRUE(back.ok()) << back.error().message();
    ASSERT_EQ(back->modules.size(), 3u);
    // Byte order of names: upper case first.
    EXPECT_EQ(back->modules[0].fileName, "Alpha.wgtp");
    EXPECT_EQ(back->modules[1].fileName, "base1.wgtw");
    EXPECT_EQ(back->modules[2].fileName, "zeta.wgtd");
    EXPECT_EQ(back->modules[0].offset, 4u + 3 * 64);
    for (const Module& m : back->modules) {
        EXPECT_EQ(m.offset % 4, 0u) << m.fileName;
        EXPECT_EQ((*bytes)[m.offset + m.size], '0');
        EXPECT_EQ((*bytes)[m.offset + m.size + 1], '\n');
        EXPECT_EQ(std::string(bytes->begin() + m.offset, bytes->begin() + m.offset + 11),
                  "PhAB201.01\n");
        auto source = std::find_if(database.modules.begin(), database.modules.end(),
                                   [&](const Module& s) { return s.fileName == m.fileName; });
        EXPECT_EQ(m, *source);
    }
    const Module& last = back->modules.back();
    EXPECT_EQ(bytes->size(), last.offset + last.size + 2);

    auto again = writeDatabase(*back);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(*again, *bytes);
    EXPECT_EQ(back->findModule("base1.wgtw")->findPicture("picture")->palette.size(), 7u);
    EXPECT_EQ(back->findModule("base1.wgtw")->findPicture("text"), nullptr);
    EXPECT_EQ(back->findModule("nothing.wgtw"), nullptr);
}

TEST(StoredFormat, ZeroLineWhereAClassIsExpectedEndsTheText) {
    auto module = readText("PhAB201.01\nPtPane\n1\np\n0\n0\n");
    ASSERT_TRUE(module.ok()) << module.error().message();
    EXPECT_EQ(module->widgets.size(), 1u);
}

TEST(StoredFormat, WriterRefusesWhatCannotBeStored) {
    struct Case {
        Module module;
        const char* what;
    };
    Module skip = testing::sampleModule();
    skip.widgets[2].level = 4;
    Module twoRoots = testing::sampleModule();
    twoRoots.widgets[1].level = 1;
    Picture broken = testing::palettePicture(4, 4, 3);
    broken.pixels.pop_back();
    for (const Case& c :
         {Case{oneWidget({{18015, ValueType::String, std::string("two\nlines")}}), "line feed"},
          Case{oneWidget({{1005, ValueType::Dim, Pos{1, 2}}}), "does not match"},
          Case{oneWidget({{7, ValueType::Short, int64_t(1)}, {7, ValueType::Short, int64_t(2)}}),
               "stored twice"},
          Case{oneWidget({{3001, ValueType::Pixmap, broken}}), "pixel data"}, Case{skip, "level 4"},
          Case{twoRoots, "level 1"}}) {
        auto bytes = writeModuleText(c.module);
        ASSERT_FALSE(bytes.ok()) << c.what;
        EXPECT_NE(bytes.error().what.find(c.what), std::string::npos) << bytes.error().message();
    }
}

TEST(StoredFormat, RgbaConversionHonoursTheTransparentIndex) {
    Picture p = testing::palettePicture(3, 1, 3, uint8_t(1));
    p.palette = {0x112233, 0x445566, 0x778899};
    auto rgba = pictureToRgba(p);
    EXPECT_EQ(rgba, (std::vector<uint8_t>{0x11, 0x22, 0x33, 255, 0x44, 0x55, 0x66, 0, 0x77, 0x88,
                                          0x99, 255}));
    Picture direct = testing::directPicture(1, 1);
    direct.pixels[0] = 1;  // blue
    direct.pixels[1] = 2;  // green
    direct.pixels[2] = 3;  // red
    EXPECT_EQ(pictureToRgba(direct), (std::vector<uint8_t>{3, 2, 1, 255}));
}

}  // namespace
}  // namespace photon::db
