// Sections of program files, and the phabdb program on databases and program files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "db_fixtures.h"
#include "photon/db/widget_db.h"
#include "tool_runner.h"

namespace photon::db {
namespace {

// A minimal ELF file of either class and byte order: the section table holds a null section,
// the section name table and one section per (name, contents).
std::vector<uint8_t> makeElf(bool is64, bool bigEndian,
                             const std::vector<std::pair<std::string, std::string>>& sections) {
    std::vector<uint8_t> out(is64 ? 64 : 52, 0);
    auto put = [&](std::size_t at, uint64_t value, int size) {
        if (out.size() < at + size)
            out.resize(at + size, 0);
        for (int i = 0; i < size; ++i)
            out[at + i] = uint8_t(value >> (8 * (bigEndian ? size - 1 - i : i)));
    };
    out[0] = 0x7F;
    out[1] = 'E';
    out[2] = 'L';
    out[3] = 'F';
    out[4] = is64 ? 2 : 1;
    out[5] = bigEndian ? 2 : 1;
    std::string names(1, '\0');
    std::vector<std::size_t> nameAt, dataAt;
    for (const auto& [name, contents] : sections) {
        nameAt.push_back(names.size());
        names += name + '\0';
        dataAt.push_back(out.size());
        out.insert(out.end(), contents.begin(), contents.end());
    }
    std::size_t namesAt = out.size();
    std::size_t namesName = names.size();
    names += std::string(".shstrtab") + '\0';
    out.insert(out.end(), names.begin(), names.end());
    std::size_t table = out.size();
    std::size_t entrySize = is64 ? 64 : 40;
    std::size_t count = sections.size() + 2;
    out.resize(table + entrySize * count, 0);
    auto entry = [&](std::size_t i, std::size_t name, uint32_t type, std::size_t offset,
                     std::size_t size) {
        std::size_t at = table + i * entrySize;
        put(at, name, 4);
        put(at + 4, type, 4);
        put(at + (is64 ? 0x18 : 0x10), offset, is64 ? 8 : 4);
        put(at + (is64 ? 0x20 : 0x14), size, is64 ? 8 : 4);
    };
    for (std::size_t i = 0; i < sections.size(); ++i)
        entry(i + 1, nameAt[i], 1, dataAt[i], sections[i].second.size());
    entry(count - 1, namesName, 3, namesAt, names.size());
    put(is64 ? 0x28 : 0x20, table, is64 ? 8 : 4);
    put(is64 ? 0x3A : 0x2E, entrySize, 2);
    put(is64 ? 0x3C : 0x30, count, 2);
    put(is64 ? 0x3E : 0x32, count - 1, 2);
    return out;
}

class ElfKinds : public ::testing::TestWithParam<std::pair<bool, bool>> {};

TEST_P(ElfKinds, FindsSectionsByName) {
    auto [is64, bigEndian] = GetParam();
    auto elf = makeElf(is64, bigEndian,
                       {{"QNX_usage", "%C - This is a QNX/Photon Application.\n"},
                        {"QNX_PhAB", "database bytes"}});
    auto usage = readElfSection(elf, "QNX_usage");
    ASSERT_TRUE(usage.ok()) << usage.error().message();
    EXPECT_EQ(std::string(usage->begin(), usage->end()),
              "%C - This is a QNX/Photon Application.\n");
    auto database = readElfSection(elf, "QNX_PhAB");
    ASSERT_TRUE(database.ok());
    EXPECT_EQ(std::string(database->begin(), database->end()), "database bytes");
    auto missing = readElfSection(elf, "QNX_Ph");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().what, "no section \"QNX_Ph\"");
}

INSTANTIATE_TEST_SUITE_P(Kinds, ElfKinds,
                         ::testing::Values(std::pair{true, false}, std::pair{false, false},
                                           std::pair{true, true}, std::pair{false, true}));

TEST(ElfSections, DamagedFilesGiveErrors) {
    auto good = makeElf(true, false, {{"QNX_PhAB", "abc"}});
    struct Case {
        std::vector<uint8_t> bytes;
        const char* what;
    };
    auto truncated = good;
    truncated.resize(truncated.size() - 10);  // the section table is last
    auto outside = good;
    std::size_t table = good[0x28] | good[0x29] << 8;
    outside[table + 64 + 0x18 + 3] = 0x7F;  // section 1's offset, far past the end
    auto noTable = good;
    noTable[0x3C] = 0;
    noTable[0x3D] = 0;
    for (const Case& c :
         {Case{{1, 2, 3}, "not an ELF file"},
          Case{std::vector<uint8_t>(good.begin(), good.begin() + 40), "file header runs past"},
          Case{truncated, "section table runs past"},
          Case{outside, "runs past the end of the file"}, Case{noTable, "no section table"}}) {
        auto section = readElfSection(c.bytes, "QNX_PhAB");
        ASSERT_FALSE(section.ok()) << c.what;
        EXPECT_NE(section.error().what.find(c.what), std::string::npos)
            << section.error().message();
    }
}

// The game's packed database inside a copy of a real program file, added as the build adds it.
class ProgramFile : public ::testing::Test {
  protected:
    void SetUp() override {
        program_ = directory_.path() / "program";
        std::filesystem::copy_file(PHABDB_PROGRAM, program_);
        auto run = testing::runProgram(
            OBJCOPY_PROGRAM,
            {"--add-section", std::string("QNX_PhAB=") + GAME_DATABASE_FILE, "--set-section-flags",
             "QNX_PhAB=contents,readonly", program_.string()});
        ASSERT_EQ(run.status, 0) << run.err;
    }
    testing::TemporaryDirectory directory_;
    std::filesystem::path program_;
};

TEST_F(ProgramFile, DatabaseIsReadFromTheSection) {
    auto fromProgram = readDatabaseBytes(program_.string());
    auto packed = readFileBytes(GAME_DATABASE_FILE);
    ASSERT_TRUE(fromProgram.ok()) << fromProgram.error().message();
    ASSERT_TRUE(packed.ok());
    EXPECT_TRUE(*fromProgram == *packed);
    // A program file without the section says so.
    auto bare = readDatabaseBytes(PHABDB_PROGRAM);
    ASSERT_FALSE(bare.ok());
    EXPECT_NE(bare.error().message().find("no section \"QNX_PhAB\""), std::string::npos);
}

TEST_F(ProgramFile, PhabdbListShowsModulesAndTrees) {
    auto run = testing::runPhabdb({"list", program_.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    std::size_t about = run.out.find("  Aboutbx.wgtd   offset      196");
    std::size_t pictures = run.out.find("  Veredodi.wgtp  offset");
    std::size_t window = run.out.find("  base1.wgtw     offset");
    EXPECT_EQ(run.out.rfind("3 modules\n", 0), 0u) << run.out;
    EXPECT_LT(about, pictures);
    EXPECT_LT(pictures, window);
    EXPECT_NE(window, std::string::npos);
    EXPECT_NE(run.out.find("time 972591765 (2000-10-26 20:22:45 UTC)"), std::string::npos);
    EXPECT_NE(
        run.out.find("base1.wgtw: 38 widgets\n  [0] PtWindow base1 size 600x470\n"
                     "    [1] PtLabel PtLabel2 at 0,0 size 600x440 picture 600x440 palette 150\n"),
        std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("      [10] PtLabel PtPunti4 at 420,280"), std::string::npos);
    EXPECT_NE(run.out.find("      [-] PtLabel PtLabel at 135,19"), std::string::npos);
    EXPECT_NE(run.out.find("    [4] PtLabel PtGrem4 at 29,135 size 86x104 picture 82x100 palette "
                           "244 transparent 0xa2\n"),
              std::string::npos);
}

TEST_F(ProgramFile, PhabdbCheckPasses) {
    auto run = testing::runPhabdb({"check", program_.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, program_.string() + ": ok, 3 modules, 47 widgets, 14 pictures\n");
}

TEST(PhabdbTool, UnpackThenPackGivesTheSameDatabase) {
    testing::TemporaryDirectory directory;
    auto sources = directory.path() / "sources";
    auto out = directory.path() / "again.phab";
    auto unpack = testing::runPhabdb({"unpack", GAME_DATABASE_FILE, sources.string()});
    ASSERT_EQ(unpack.status, 0) << unpack.err;
    EXPECT_TRUE(std::filesystem::exists(sources / "base1.wgtw"));
    EXPECT_TRUE(std::filesystem::exists(sources / "pictures" / "PtGrem3.png"));
    auto pack = testing::runPhabdb({"pack", sources.string(), out.string()});
    ASSERT_EQ(pack.status, 0) << pack.err;
    EXPECT_TRUE(*readFileBytes(out.string()) == *readFileBytes(GAME_DATABASE_FILE));
}

TEST(PhabdbTool, WrongUsageExitsWithTwo) {
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{},
                                                      {"list"},
                                                      {"bogus", "x"},
                                                      {"pack", "dir"},
                                                      {"check", "a", "b"},
                                                      {"unpack", "file"}}) {
        auto run = testing::runPhabdb(arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err.rfind("usage: phabdb list FILE\n", 0), 0u) << run.err;
    }
}

TEST(PhabdbTool, FailuresExitWithOneAndSayWhy) {
    testing::TemporaryDirectory directory;
    auto empty = directory.path() / "empty";
    std::filesystem::create_directory(empty);
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
    for (const Case& c :
         {Case{{"check", (directory.path() / "none").string()}, "none: open: No such file"},
          Case{{"pack", empty.string(), (directory.path() / "out.phab").string()},
               "no module sources"},
          Case{{"pack", GAME_MODULES_DIR, (directory.path() / "no" / "out.phab").string()},
               "cannot write the database"}}) {
        auto run = testing::runPhabdb(c.arguments);
        EXPECT_EQ(run.status, 1) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists(directory.path() / "out.phab"));
}

}  // namespace
}  // namespace photon::db
