// A few drawn pixels where a mistake in stacking, clipping, colours or transparency would show.
#include "skeleton_fixture.h"

namespace {

const photon::db::Picture& storedPicture(const char* module, const char* widget) {
    const photon::db::Picture* picture = gameDatabase().findModule(module)->findPicture(widget);
    if (!picture) {
        throw std::runtime_error(std::string("no picture for ") + widget);
    }
    return *picture;
}

TEST_F(SkeletonTest, CoverShowsThePlainTableThenTheGameOverPicture) {
    const auto& table = storedPicture("base1.wgtw", "PtSpet");
    const auto& gameOver = storedPicture("base1.wgtw", "PtGo");
    // The cover's pictures sit exactly over the field although the pane is at (-2, -2).
    for (auto [x, y] : {std::pair{0, 0}, {10, 10}, {300, 200}, {599, 439}}) {
        EXPECT_EQ(driver.pixel(x, y), pictureColour(table, x, y)) << x << "," << y;
    }
    // Somewhere the words "Game Over" differ from the plain table.
    int differX = -1;
    int differY = -1;
    for (int y = 0; y < 440 && differX < 0; y += 3) {
        for (int x = 0; x < 600; x += 3) {
            if (pictureColour(table, x, y) != pictureColour(gameOver, x, y)) {
                differX = x;
                differY = y;
                break;
            }
        }
    }
    ASSERT_GE(differX, 0);
    PtWidgetToFront(AbWidgets[ABN_PtGo]);
    EXPECT_EQ(driver.pixel(differX, differY), pictureColour(gameOver, differX, differY));
}

TEST_F(SkeletonTest, StatusBarIsBlackWithTheScoreBoxAndDifficultyBox) {
    EXPECT_EQ(driver.pixel(5, 445), 0x000000u);
    EXPECT_EQ(driver.pixel(598, 468), 0x000000u);
    EXPECT_EQ(driver.pixel(240, 444), 0xFFFFFFu);  // inside the score box, left of its digits
    EXPECT_EQ(driver.pixel(469, 444), 0xEA9D5Bu);  // the difficulty's box
    // "Start" is drawn in green on the bar.
    bool green = false;
    for (int y = 442; y < 466; ++y) {
        for (int x = 15; x < 62; ++x) {
            uint32_t c = driver.pixel(x, y);
            green = green || ((c >> 8 & 0xFF) > 200 && (c >> 16) < 100);
        }
    }
    EXPECT_TRUE(green);
}

TEST_F(SkeletonTest, GremlinIsTransparentOverTheTable) {
    const auto& gremlin = storedPicture("base1.wgtw", "PtG1");
    const auto& table = storedPicture("base1.wgtw", "PtLabel2");
    // The game moves the cover away and the gremlin in.
    showAt(ABN_PtGover, -2, 480);
    showAt(ABN_PtG1, 100, 120);
    int transparentSeen = 0;
    int opaqueSeen = 0;
    for (int y = 0; y < gremlin.height; y += 7) {
        for (int x = 0; x < gremlin.width; x += 5) {
            uint32_t drawn = driver.pixel(100 + x, 120 + y);
            if (pictureTransparent(gremlin, x, y)) {
                EXPECT_EQ(drawn, pictureColour(table, 100 + x, 120 + y)) << x << "," << y;
                ++transparentSeen;
            } else {
                EXPECT_EQ(drawn, pictureColour(gremlin, x, y)) << x << "," << y;
                ++opaqueSeen;
            }
        }
    }
    EXPECT_GT(transparentSeen, 10);
    EXPECT_GT(opaqueSeen, 10);
}

TEST_F(SkeletonTest, PngOfTheWindowHoldsItsPixels) {
    std::string path = ::testing::TempDir() + "/skeleton_main.png";
    ASSERT_TRUE(driver.savePng(path));
    auto bytes = photon::db::readFileBytes(path);
    ASSERT_TRUE(bytes.ok());
    ASSERT_GT(bytes.value().size(), 24u);
    EXPECT_EQ(std::string(bytes.value().begin() + 1, bytes.value().begin() + 4), "PNG");
    // Width and height in the header chunk, big-endian.
    auto word = [&](int at) {
        const auto& b = bytes.value();
        return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 |
               b[at + 3];
    };
    EXPECT_EQ(word(16), 600u);
    EXPECT_EQ(word(20), 470u);
    std::remove(path.c_str());
}

class ScaledSkeletonTest : public ::testing::Test {
  protected:
    photon::testing::Driver driver{GAME_DATABASE};
};

TEST_F(ScaledSkeletonTest, WidthOptionScalesTheWholeContent) {
    firedCallbacks().clear();
    ASSERT_NE(driver.start(&AbContext, AbApplLinks, {"gremgame", "-w1200"}), nullptr);
    EXPECT_EQ(driver.outputSize(), (std::pair{1200, 940}));
    const auto& table = *gameDatabase().findModule("base1.wgtw")->findPicture("PtSpet");
    EXPECT_EQ(driver.pixel(300, 200), pictureColour(table, 300, 200));
    EXPECT_EQ(driver.pixel(469, 444), 0xEA9D5Bu);
    firedCallbacks().clear();
    ASSERT_TRUE(driver.click(AbWidgets[ABN_PtGame]));
    EXPECT_EQ(firedCallbacks(), std::vector<std::string>{"clic1"});
}

}  // namespace
