// The game's own widget database, packed from game/modules: the stored tree where a mistake would
// show (indices, nesting, positions, flags and masks, timer values, pictures, the help text), and
// the round trip through unpacked sources.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "db_fixtures.h"
#include "photon/db/module_source.h"
#include "photon/db/widget_db.h"
#include "photon/db/widget_db_write.h"

namespace photon::db {
namespace {

class GameDatabase : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        auto sources = loadSourceDirectory(GAME_MODULES_DIR);
        ASSERT_TRUE(sources.ok()) << sources.error().message();
        auto written = writeDatabase(*sources);
        ASSERT_TRUE(written.ok()) << written.error().message();
        bytes_ = new std::vector<uint8_t>(std::move(*written));
        auto database = readDatabase(*bytes_);
        ASSERT_TRUE(database.ok()) << database.error().message();
        database_ = new Database(std::move(*database));
    }
    static void TearDownTestSuite() {
        delete database_;
        delete bytes_;
    }

    static const Module& module(const char* name) {
        const Module* found = database_->findModule(name);
        EXPECT_NE(found, nullptr) << name;
        return *found;
    }
    static const Widget& widget(const char* name) {
        for (const Module& m : database_->modules)
            if (const Widget* w = m.findWidget(name))
                return *w;
        ADD_FAILURE() << "no widget " << name;
        static Widget none;
        return none;
    }

    static inline std::vector<uint8_t>* bytes_ = nullptr;
    static inline Database* database_ = nullptr;
};

TEST_F(GameDatabase, ModulesInNameOrderWithTheirTimeStamps) {
    ASSERT_EQ(database_->modules.size(), 3u);
    EXPECT_EQ(database_->modules[0].fileName, "Aboutbx.wgtd");
    EXPECT_EQ(database_->modules[1].fileName, "Veredodi.wgtp");
    EXPECT_EQ(database_->modules[2].fileName, "base1.wgtw");
    EXPECT_EQ(database_->modules[0].timeStamp, 972586559u);
    EXPECT_EQ(database_->modules[1].timeStamp, 972394451u);
    EXPECT_EQ(database_->modules[2].timeStamp, 972591765u);
    EXPECT_EQ(database_->modules[0].offset, 196u);
}

// The widget table reaches widgets by these indices, so their order is part of the program.
TEST_F(GameDatabase, WidgetIndicesFollowCreationOrder) {
    const std::vector<std::vector<std::string>> expected = {
        {"Aboutbx", "about", "PtHelp1", "PtTitl"},
        {"Veredodi", "PtGrem1", "PtGrem2", "PtGrem3", "PtGrem4"},
        {"base1",     "PtLabel2",    "PtLevel",  "PtOption", "PtDummy",  "PtBeginner",
         "PtNormal",  "PtDominator", "PtPunti1", "PtPunti2", "PtPunti4", "PtPunti3",
         "PtNome1",   "PtNome2",     "PtNome3",  "PtNome4",  "PtG2",     "PtG1",
         "PtBlack",   "PtOpzioni",   "PtAbout",  "PtEsci",   "PtGame",   "PtTimer1",
         "PtScore",   "PtSec1",      "PtGover",  "PtGo",     "PtSpet",   "PtLivellod",
         "PtRecord1", "PtNome",      "Ptd1",     "Ptd3",     "PtScorec", "PtNo"}};
    const std::vector<std::size_t> widgetCounts = {4, 5, 38};
    for (std::size_t m = 0; m < 3; ++m) {
        const Module& module = database_->modules[m];
        EXPECT_EQ(module.widgets.size(), widgetCounts[m]) << module.fileName;
        std::vector<std::string> indexed;
        for (const Widget& w : module.widgets) {
            if (auto index = w.widgetIndex()) {
                EXPECT_EQ(*index, indexed.size()) << w.name;
                indexed.push_back(w.name);
            } else {
                EXPECT_EQ(w.name, "PtLabel");  // the two captions of the options pane
            }
        }
        EXPECT_EQ(indexed, expected[m]) << module.fileName;
    }
}

TEST_F(GameDatabase, NestingGivesTheParents) {
    const Module& base1 = module("base1.wgtw");
    auto parentName = [&](const char* name) {
        for (std::size_t i = 0; i < base1.widgets.size(); ++i)
            if (base1.widgets[i].name == name) {
                auto parent = base1.parentOf(i);
                return parent ? base1.widgets[*parent].name : std::string("(root)");
            }
        return std::string("(missing)");
    };
    for (const char* name : {"PtDummy", "PtPunti3", "PtNome4"})
        EXPECT_EQ(parentName(name), "PtOption");
    for (const char* name : {"PtGo", "PtSpet"})
        EXPECT_EQ(parentName(name), "PtGover");
    for (const char* name : {"PtNome", "PtNo"})
        EXPECT_EQ(parentName(name), "PtRecord1");
    for (const char* name : {"PtG1", "PtLivellod", "PtRecord1"})
        EXPECT_EQ(parentName(name), "base1");
    EXPECT_EQ(parentName("base1"), "(root)");
    // The options pane's two captions share the class name and carry no index.
    EXPECT_EQ(base1.widgets[8].name, "PtLabel");
    EXPECT_EQ(base1.widgets[9].name, "PtLabel");
}

struct Geometry {
    const char* name;
    Pos pos;
    Dim dim;
};

TEST_F(GameDatabase, PositionsAndSizes) {
    for (const Geometry& g :
         {Geometry{"PtLabel2", {0, 0}, {600, 440}}, Geometry{"PtLevel", {218, 500}, {165, 57}},
          Geometry{"PtOption", {20, 480}, {560, 400}}, Geometry{"PtPunti4", {420, 280}, {93, 23}},
          Geometry{"PtPunti3", {294, 280}, {93, 23}}, Geometry{"PtG2", {309, 677}, {82, 100}},
          Geometry{"PtG1", {106, 678}, {82, 100}}, Geometry{"PtBlack", {-11, 440}, {613, 35}},
          Geometry{"PtTimer1", {0, 0}, {1, 1}}, Geometry{"PtGover", {-2, -2}, {625, 444}},
          Geometry{"PtRecord1", {170, 490}, {270, 128}}, Geometry{"PtNome", {60, 54}, {145, 29}},
          Geometry{"PtGrem4", {29, 135}, {86, 104}}, Geometry{"PtHelp1", {3, 210}, {321, 250}}}) {
        const Widget& w = widget(g.name);
        ASSERT_NE(w.find(1007), nullptr) << g.name;
        EXPECT_EQ(*w.find(1007)->pos(), g.pos) << g.name;
        EXPECT_EQ(*w.find(1005)->dim(), g.dim) << g.name;
    }
    EXPECT_EQ(*widget("base1").find(1005)->dim(), (Dim{600, 470}));
    EXPECT_EQ(widget("base1").find(1007), nullptr);  // placed by the run time
    EXPECT_EQ(*widget("Aboutbx").find(1005)->dim(), (Dim{329, 469}));
}

struct FlagCase {
    const char* name;
    uint32_t value;
    uint32_t mask;
};

TEST_F(GameDatabase, FlagValuesAndMasks) {
    constexpr uint32_t kLabelMask = 0x4F8A059E;
    for (const FlagCase& f :
         {FlagCase{"PtLabel2", 0x2080080, kLabelMask}, FlagCase{"PtDummy", 0x2000080, kLabelMask},
          FlagCase{"PtDominator", 0x2000080, kLabelMask}, FlagCase{"PtG1", 0x2080080, kLabelMask},
          FlagCase{"PtOpzioni", 0x2080080, kLabelMask}, FlagCase{"PtAbout", 0x2080080, kLabelMask},
          FlagCase{"PtEsci", 0x6080080, kLabelMask}, FlagCase{"PtGame", 0x2080080, kLabelMask},
          FlagCase{"PtGo", 0x2080080, kLabelMask}, FlagCase{"PtSpet", 0x2080080, kLabelMask},
          FlagCase{"PtNome", 0x2000102, kLabelMask}, FlagCase{"PtGover", 0x100, 0x100},
          FlagCase{"PtRecord1", 0x100, 0x100}}) {
        const Resource* flags = widget(f.name).find(1006);
        ASSERT_NE(flags, nullptr) << f.name;
        EXPECT_EQ(flags->flags()->value, f.value) << f.name;
        EXPECT_EQ(flags->flags()->mask, f.mask) << f.name;
    }
    // PtG2 is the one gremlin picture that does not answer clicks.
    EXPECT_EQ(widget("PtG2").find(1006), nullptr);
    EXPECT_EQ(widget("PtG2").find(10001)->flags()->mask, 0x1FFFu);
    EXPECT_EQ(widget("base1").find(18011)->flags()->value, 0x4CB7Cu);
    EXPECT_EQ(widget("Aboutbx").find(18013)->flags()->value, 0x1390u);
}

TEST_F(GameDatabase, TimerTextsColoursAndFonts) {
    const Widget& timer = widget("PtTimer1");
    EXPECT_EQ(*timer.find(41000)->integer(), 2130000000);
    EXPECT_EQ(*timer.find(41001)->integer(), 600);
    EXPECT_EQ(*widget("base1").find(18015)->text(), "P e l m !");
    EXPECT_EQ(widget("base1").find(2002)->colour()->rgb, kTransparentColour);
    EXPECT_EQ(*widget("Aboutbx").find(18015)->text(), "About Pelm");
    EXPECT_EQ(*widget("PtLevel").find(3011)->text(), "Level 180");
    EXPECT_EQ(*widget("PtPunti4").find(3011)->text(), "200");
    EXPECT_EQ(*widget("PtPunti3").find(3011)->text(), "500");
    EXPECT_EQ(*widget("PtNome3").find(3011)->text(), "Iron Kite");
    EXPECT_EQ(widget("PtNome3").find(2001)->colour()->rgb, 0x6B2B80u);
    EXPECT_EQ(*widget("PtScore").find(3000)->integer(), 1);
    EXPECT_EQ(*widget("PtLivellod").find(3010)->text(), "TextFont09ba");
    EXPECT_EQ(*widget("PtNome").find(4005)->integer(), 11);
    EXPECT_EQ(*widget("base1").find(1002)->integer(), 59660);
    EXPECT_EQ(*widget("PtHelp1").find(13008)->integer(), 1);
}

TEST_F(GameDatabase, HelpTextLines) {
    const std::string& help = *widget("PtHelp1").find(3011)->text();
    std::vector<std::string> lines;
    for (std::size_t start = 0;;) {
        std::size_t end = help.find('\n', start);
        lines.push_back(help.substr(start, end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    ASSERT_EQ(lines.size(), 20u);
    EXPECT_NE(lines[0].find("QNX rtp"), std::string::npos);
    EXPECT_TRUE(lines[0].ends_with("choose from the options. "));
    EXPECT_EQ(lines[1], "Push the \u00b4p\u00b4 key to pause the Game and ");
    EXPECT_EQ(lines[2], "push the \u00b4s\u00b4 key to resume.");
    EXPECT_EQ(lines[5], "Good Luck!");
    EXPECT_EQ(lines[6], "*************** Credits ******************");
    EXPECT_TRUE(lines[8].ends_with(" - chef programming"));
    EXPECT_TRUE(lines[9].ends_with(" - graphics, additional programming"));
    EXPECT_EQ(lines[11], "Pelm was developed on october 2000");
    EXPECT_TRUE(lines[14].ends_with("to:"));
    EXPECT_EQ(lines[4], lines[15]);  // the makers' e-mail address, twice
    for (std::size_t blank : {7, 10, 16, 18})
        EXPECT_EQ(lines[blank], "") << blank;
    EXPECT_EQ(lines[19], "the team :-)");
}

struct PictureCase {
    const char* name;
    uint16_t width, height;
    uint32_t imageType, bytesPerRow, entries;
    std::optional<uint8_t> transparent;
    uint8_t byte32;
};

TEST_F(GameDatabase, Pictures) {
    using T = std::optional<uint8_t>;
    for (const PictureCase& c : {
             PictureCase{"about", 320, 196, kImageDirect24, 960, 0, T{}, 0},
             PictureCase{"PtLabel2", 600, 440, kImagePalette8, 600, 150, T{}, 2},
             PictureCase{"PtSpet", 600, 440, kImagePalette8, 600, 150, T{}, 2},
             PictureCase{"PtGo", 600, 440, kImagePalette8, 600, 151, T{}, 2},
             PictureCase{"PtGrem1", 82, 100, kImagePalette8, 88, 233, T{0}, 0},
             PictureCase{"PtG1", 82, 100, kImagePalette8, 88, 233, T{0}, 0},
             PictureCase{"PtGrem2", 82, 100, kImagePalette8, 88, 160, T{0}, 0},
             PictureCase{"PtGrem3", 82, 100, kImagePalette8, 88, 86, T{0x40}, 0},
             PictureCase{"PtGrem4", 82, 100, kImagePalette8, 88, 244, T{0xA2}, 0},
             PictureCase{"PtDummy", 89, 100, kImagePalette8, 96, 256, T{}, 0},
             PictureCase{"PtBeginner", 90, 100, kImagePalette8, 96, 256, T{}, 0},
             PictureCase{"PtNormal", 90, 100, kImagePalette8, 96, 256, T{}, 0},
             PictureCase{"PtDominator", 89, 100, kImagePalette8, 96, 256, T{}, 0},
         }) {
        const Resource* resource = widget(c.name).find(kResourceLabelPicture);
        ASSERT_NE(resource, nullptr) << c.name;
        const Picture& p = *resource->picture();
        EXPECT_EQ(p.width, c.width) << c.name;
        EXPECT_EQ(p.height, c.height) << c.name;
        EXPECT_EQ(p.imageType, c.imageType) << c.name;
        EXPECT_EQ(p.bytesPerRow, c.bytesPerRow) << c.name;
        EXPECT_EQ(p.palette.size(), c.entries) << c.name;
        EXPECT_EQ(p.transparentIndex, c.transparent) << c.name;
        EXPECT_EQ(p.byte32, c.byte32) << c.name;
        EXPECT_EQ(*widget(c.name).find(3003)->integer(), 4) << c.name;
    }
    // Fourteen pictures stored, eleven distinct.
    std::vector<const Picture*> all;
    for (const Module& m : database_->modules)
        for (const Widget& w : m.widgets)
            if (const Resource* r = w.find(kResourceLabelPicture))
                all.push_back(r->picture());
    EXPECT_EQ(all.size(), 14u);
    // Equal pixels carry equal image tags: eleven distinct ones. The field gremlins' own palette
    // makes a twelfth pair of tags.
    std::set<uint32_t> imageTags;
    std::set<std::pair<uint32_t, uint32_t>> tagPairs;
    for (const Picture* p : all) {
        imageTags.insert(p->imageTag);
        tagPairs.emplace(p->imageTag, p->paletteTag);
    }
    EXPECT_EQ(imageTags.size(), 11u);
    EXPECT_EQ(tagPairs.size(), 12u);
}

TEST_F(GameDatabase, FieldGremlinsDifferOnlyInTheTransparentColour) {
    const Picture& store = *module("Veredodi.wgtp").findPicture("PtGrem1");
    const Picture& target = *module("base1.wgtw").findPicture("PtG1");
    EXPECT_EQ(*module("base1.wgtw").findPicture("PtG2"), target);
    EXPECT_EQ(target.pixels, store.pixels);
    EXPECT_EQ(target.imageTag, store.imageTag);
    EXPECT_NE(target.paletteTag, store.paletteTag);
    EXPECT_NE(target.palette[0], store.palette[0]);
    EXPECT_TRUE(
        std::equal(target.palette.begin() + 1, target.palette.end(), store.palette.begin() + 1));
    EXPECT_EQ(*module("base1.wgtw").findPicture("PtSpet"),
              *module("base1.wgtw").findPicture("PtLabel2"));
}

TEST_F(GameDatabase, BuildStepPackedTheSameBytes) {
    auto built = readFileBytes(GAME_DATABASE_FILE);
    ASSERT_TRUE(built.ok()) << built.error().message();
    EXPECT_TRUE(*built == *bytes_) << "the packed database in the build tree is out of date";
}

TEST_F(GameDatabase, PackUnpackPackGivesTheSameBytes) {
    testing::TemporaryDirectory directory;
    ASSERT_FALSE(writeSourceDirectory(*database_, directory.path()).has_value());
    std::size_t pngs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(directory.path() / "pictures"))
        pngs += entry.path().extension() == ".png";
    EXPECT_EQ(pngs, 11u);
    auto reloaded = loadSourceDirectory(directory.path());
    ASSERT_TRUE(reloaded.ok()) << reloaded.error().message();
    auto repacked = writeDatabase(*reloaded);
    ASSERT_TRUE(repacked.ok()) << repacked.error().message();
    EXPECT_TRUE(*repacked == *bytes_);
}

}  // namespace
}  // namespace photon::db
