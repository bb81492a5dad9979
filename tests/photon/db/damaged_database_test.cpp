// Damaged databases: each gives an error that names what is wrong and where, from the reader
// and from `phabdb check`, and never a crash.
#include <gtest/gtest.h>

#include <functional>

#include "db_fixtures.h"
#include "photon/db/widget_db.h"
#include "photon/db/widget_db_write.h"
#include "tool_runner.h"

namespace photon::db {
namespace {

using testing::assembleDatabase;

const std::string kGood =
    "PhAB201.01\nPtWindow\n1\nroot\n1004\ndata\n0\n1005\ndim\n600,470\n0\n"
    "PtLabel\n2\nw\n3011\nmulti\n4\nabcd0\n";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

std::vector<uint8_t> withText(const std::string& text) {
    return assembleDatabase({{"a.wgtw", text}});
}

// A module text whose widget "w" holds a small picture, with `patch` applied to the block's bytes.
std::vector<uint8_t> withPicture(const std::function<void(uint8_t* block)>& patch) {
    Module module{
        "a.wgtw",
        0,
        0,
        0,
        {Widget{"PtLabel", 1, "w", {{3001, ValueType::Pixmap, testing::palettePicture(2, 2, 2)}}}}};
    auto text = writeModuleText(module);
    std::string body(text->begin(), text->end());
    patch(reinterpret_cast<uint8_t*>(body.data()) + body.find("pixmap\n") + 7);
    return withText(body);
}

void put32(uint8_t* at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        at[i] = uint8_t(v >> (8 * i));
}

struct Damage {
    const char* name;
    std::function<std::vector<uint8_t>()> bytes;
    const char* what;
    const char* where;
};

void PrintTo(const Damage& damage, std::ostream* out) {
    *out << damage.name;
}

std::vector<Damage> damages() {
    return {
        {"format_line", [] { return withText(replaced(kGood, "PhAB201.01", "PhAB200.00")); },
         "format line is \"PhAB200.00\"", "module \"a.wgtw\", line 1"},
        {"unknown_type_word", [] { return withText(replaced(kGood, "dim\n", "dimension\n")); },
         "unknown type word \"dimension\"", "line 9, widget \"root\", resource 1005"},
        {"multi_count_past_size", [] { return withText(replaced(kGood, "4\nabcd", "40\nabcd")); },
         "text of 40 bytes runs past the end of the module text", "widget \"w\", resource 3011"},
        {"picture_past_size",
         [] {
             return withPicture([](uint8_t* block) {
                 put32(block + 8, 600);
                 put32(block + 12, 440u << 16 | 600);
             });
         },
         "picture block of", "widget \"w\", resource 3001"},
        {"level_skips", [] { return withText(replaced(kGood, "PtLabel\n2\n", "PtLabel\n3\n")); },
         "skips a level", "line 13"},
        {"second_root", [] { return withText(replaced(kGood, "PtLabel\n2\n", "PtLabel\n1\n")); },
         "a second root", "line 13"},
        {"first_widget_not_root",
         [] { return withText(replaced(kGood, "PtWindow\n1\n", "PtWindow\n2\n")); },
         "the root must have level 1", "line 3"},
        {"text_ends_inside_widget", [] { return withText(kGood.substr(0, kGood.size() - 2)); },
         "runs past the end of the module text", "widget \"w\""},
        {"no_widgets", [] { return withText("PhAB201.01\n"); }, "module has no widgets",
         "module \"a.wgtw\""},
        {"resource_twice",
         [] { return withText(replaced(kGood, "1005\ndim\n600,470\n", "1004\ndata\n1\n")); },
         "resource stored twice", "resource 1004"},
        {"malformed_value", [] { return withText(replaced(kGood, "600,470", "600x470")); },
         "malformed dim value \"600x470\"", "resource 1005"},
        {"bytes_after_end_line", [] { return withText(kGood + "0\nPtLabel\n"); },
         "bytes after the line \"0\"", "module \"a.wgtw\""},
        {"entry_outside_section",
         [] {
             auto bytes = withText(kGood);
             put32(bytes.data() + 4 + 56, 0x7FFFFFF0);
             return bytes;
         },
         "runs past the end of the section", "directory entry 1"},
        {"entry_misplaced",
         [] {
             auto bytes = withText(kGood);
             put32(bytes.data() + 4 + 52, 4 + 64 + 4);
             return bytes;
         },
         "text at offset 72, expected 68", "directory entry 1"},
        {"directory_past_section",
         [] {
             auto bytes = withText(kGood);
             put32(bytes.data(), 1000);
             return bytes;
         },
         "directory of 1000 entries runs past the end of the section", "directory"},
        {"too_short",
         [] {
             return std::vector<uint8_t>{1, 0, 0};
         },
         "too short", "directory"},
        {"missing_zero_line_after_text",
         [] {
             auto bytes = withText(kGood);
             bytes[bytes.size() - 2] = 'x';
             return bytes;
         },
         "not followed by \"0\" and a line feed", "module \"a.wgtw\""},
        {"names_out_of_order",
         [] {
             return assembleDatabase({{"b.wgtw", kGood}, {"a.wgtw", kGood}});
         },
         "not in name order", "directory entry 2"},
        {"duplicate_names",
         [] {
             return assembleDatabase({{"a.wgtw", kGood}, {"a.wgtw", kGood}});
         },
         "not in name order", "directory entry 2"},
        {"stray_bytes",
         [] {
             auto bytes = withText(kGood);
             bytes.push_back('x');
             return bytes;
         },
         "1 stray bytes after the last module text", "end of the section"},
        {"name_not_terminated",
         [] {
             return assembleDatabase({{std::string(52, 'n'), kGood}});
         },
         "not NUL-terminated", "directory entry 1"},
        {"unknown_image_type", [] { return withPicture([](uint8_t* b) { put32(b, 0x11); }); },
         "unknown image type 0x11", "resource 3001"},
        {"transparent_outside_palette",
         [] {
             return withPicture([](uint8_t* b) {
                 put32(b + 28, 0x02000005);
                 b[33] = 0x80;
             });
         },
         "transparent index 5 outside the palette of 2 entries", "resource 3001"},
        {"transparent_flag_without_colour",
         [] { return withPicture([](uint8_t* b) { b[33] = 0x80; }); },
         "byte 33 is 0x80, expected 0x0", "resource 3001"},
        {"reserved_head_word", [] { return withPicture([](uint8_t* b) { b[40] = 1; }); },
         "words 36 to 55 are not 0", "resource 3001"},
        {"wrong_bytes_per_row", [] { return withPicture([](uint8_t* b) { put32(b + 8, 2); }); },
         "bytes per row 2 for width 2 (expected 8)", "resource 3001"},
        {"pixel_outside_palette", [] { return withPicture([](uint8_t* b) { b[56 + 8 + 1] = 7; }); },
         "pixel (1, 0) uses index 7", "resource 3001"},
        {"palette_entry_not_a_colour",
         [] { return withPicture([](uint8_t* b) { b[56 + 3] = 1; }); }, "palette entry 0",
         "resource 3001"},
    };
}

class DamagedDatabase : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedDatabase, ReaderNamesWhatAndWhere) {
    auto database = readDatabase(GetParam().bytes());
    ASSERT_FALSE(database.ok());
    const Error& error = database.error();
    EXPECT_NE(error.what.find(GetParam().what), std::string::npos) << error.message();
    EXPECT_NE(error.where.find(GetParam().where), std::string::npos) << error.message();
}

TEST_P(DamagedDatabase, PhabdbCheckFailsWithTheMessage) {
    testing::TemporaryDirectory directory;
    auto file = directory.path() / "damaged.phab";
    testing::writeFile(file, GetParam().bytes());
    auto run = testing::runPhabdb({"check", file.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("phabdb: " + file.string() + ": ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(GetParam().what), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(Damages, DamagedDatabase, ::testing::ValuesIn(damages()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DamagedDatabase, ErrorOffsetPointsAtTheDamage) {
    std::string text = replaced(kGood, "dim\n", "dimension\n");
    auto bytes = withText(text);
    auto database = readDatabase(bytes);
    ASSERT_FALSE(database.ok());
    EXPECT_EQ(database.error().offset, 4u + 64 + text.find("dimension"));
    EXPECT_NE(database.error().message().find("(byte " + std::to_string(*database.error().offset) +
                                              "): unknown type word"),
              std::string::npos)
        << database.error().message();
}

TEST(DamagedDatabase, EveryTruncationOfAGoodDatabaseIsRefused) {
    Database good{{testing::sampleModule("a.wgtw"), testing::sampleModule("b.wgtw")}};
    auto bytes = writeDatabase(good);
    ASSERT_TRUE(bytes.ok());
    ASSERT_TRUE(readDatabase(*bytes).ok());
    for (std::size_t size = 0; size < bytes->size(); ++size) {
        auto damaged = readDatabase(std::span<const uint8_t>(bytes->data(), size));
        EXPECT_FALSE(damaged.ok()) << "size " << size;
    }
}

}  // namespace
}  // namespace photon::db
