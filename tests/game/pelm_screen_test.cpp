// What a player sees of a game of Pelm, read back from the drawn window. With PELM_SCREENSHOTS
// naming a directory, each step is also saved there as a PNG picture.
#include <cstdlib>

#include "pelm_fixture.h"

namespace {

class PelmScreen : public PelmGame {
  protected:
    void SetUp() override {
        PelmGame::SetUp();
        writeScoreFile("Ann\n30\nBob\n40\nCid\n50\nDee\n60\n");
        ::testing::internal::CaptureStdout();
        openWindow();
        ::testing::internal::GetCapturedStdout();
    }
    void snapshot(const char* name) {
        if (const char* directory = std::getenv("PELM_SCREENSHOTS")) {
            EXPECT_TRUE(driver->savePng(std::string(directory) + "/" + name + ".png"));
        }
    }
    uint32_t at(PhPoint_t point, int dx, int dy) {
        return driver->pixel(point.x + dx, point.y + dy);
    }
};

TEST_F(PelmScreen, AWholeGameAsThePlayerSeesIt) {
    // An empty corner of the table, where neither gremlin nor pane ever comes.
    const uint32_t table = driver->pixel(8, 8);
    snapshot("01-opened");

    ASSERT_TRUE(clickOptions());
    snapshot("02-options");
    ASSERT_TRUE(chooseDifficulty(ABN_PtNormal));
    EXPECT_EQ(text(ABN_PtLivellod), "Normal");

    ASSERT_TRUE(clickStart());
    driver->advance(2000);
    snapshot("03-first-tick");
    // The gremlin is drawn where it landed: the middle of its picture is not the table.
    PhPoint_t landed = place(ABN_PtG1);
    uint32_t gremlin = at(landed, 41, 50);
    ASSERT_TRUE(hit());
    snapshot("04-after-hit");
    // After the hit it hides until the next tick.
    EXPECT_NE(at(landed, 41, 50), gremlin);
    for (int i = 0; i < 9; i++) {
        nextTick();
        ASSERT_TRUE(hit());
    }
    nextTick();
    snapshot("05-hundred-points");
    while (level == 1) {
        driver->advance(100);
    }
    snapshot("06-level-two");
    EXPECT_EQ(driver->pixel(8, 8), table);
    playLevel(6, 0);
    ASSERT_EQ(vissec, 0);
    snapshot("07-game-over-record");
    // The game-over picture covers the table, and the new-record pane is up.
    EXPECT_NE(driver->pixel(8, 8), table);
    EXPECT_EQ(text(ABN_PtScorec), "160");
    enterName("Pat");
    snapshot("08-name-entered");
    ASSERT_TRUE(clickOptions());
    snapshot("09-table");
    EXPECT_EQ(text(ABN_PtNome3), "Pat\n");
    EXPECT_EQ(text(ABN_PtPunti3), "160");
    ASSERT_TRUE(chooseDifficulty(ABN_PtNormal));

    ASSERT_TRUE(clickStart());
    driver->advance(2500);
    typeKey("p");
    snapshot("10-paused");
    EXPECT_EQ(driver->pixel(8, 8), table);
    typeKey("s");
    ASSERT_TRUE(clickQuit());
    EXPECT_EQ(driver->exitStatus(), 0);
    EXPECT_EQ(readScoreFile(), "Ann\n30\nBob\n40\nPat\n160\nDee\n60\n");
}

}  // namespace
