// The rules and the timing of Pelm, played through the test driver on a virtual clock.
#include <cerrno>
#include <set>

#include "pelm_fixture.h"

namespace {

constexpr PhPoint_t CoverOverField = {-2, -2};

class PelmRules : public PelmGame {
  protected:
    void SetUp() override {
        PelmGame::SetUp();
        openWindow();
    }
    bool gameOverShown() const { return place(ABN_PtGover) == CoverOverField; }
};

TEST_F(PelmRules, WindowOpensIdleWithTheFieldCoveredAndTheGremlinOutOfView) {
    EXPECT_TRUE(gameOverShown());
    EXPECT_EQ(velocit, 700);
    EXPECT_EQ(accums, 10000.0);
    EXPECT_FALSE(inView(ABN_PtG1));
    EXPECT_FALSE(inView(ABN_PtOption));
    EXPECT_TRUE(selectable(ABN_PtGame));
    EXPECT_TRUE(selectable(ABN_PtOpzioni));
    // No tick comes while idle.
    PhPoint_t before = place(ABN_PtG1);
    driver->advance(60000);
    EXPECT_EQ(place(ABN_PtG1), before);
}

TEST_F(PelmRules, StartUncoversTheFieldAndTheFirstTickComesTwoSecondsLater) {
    ASSERT_TRUE(clickStart());
    EXPECT_FALSE(inView(ABN_PtGover));
    EXPECT_EQ(text(ABN_PtScore), "0");
    EXPECT_FALSE(selectable(ABN_PtOpzioni));
    EXPECT_FALSE(selectable(ABN_PtAbout));
    EXPECT_TRUE(selectable(ABN_PtGame));
    driver->advance(1999);
    EXPECT_FALSE(inView(ABN_PtG1));
    driver->advance(1);
    EXPECT_TRUE(inView(ABN_PtG1));
    // The level started a quarter second past a whole second, so two whole seconds have gone.
    EXPECT_EQ(text(ABN_PtSec1), "18");
}

TEST_F(PelmRules, HitsScoreTenAndMissesCostFiveDownBelowZero) {
    ASSERT_TRUE(clickStart());
    driver->advance(2000);
    ASSERT_TRUE(hit());
    EXPECT_EQ(text(ABN_PtScore), "10");
    // The hit gremlin hides behind the field until the next tick: a second click is a miss.
    driver->click(AbWidgets[ABN_PtG1]);
    EXPECT_EQ(text(ABN_PtScore), "5");
    miss();
    miss();
    EXPECT_EQ(text(ABN_PtScore), "-5");
    EXPECT_EQ(score, -5);
    EXPECT_EQ(scoreliv, -5);
}

struct LevelCase {
    const char* name;
    int hits;
    int misses;
    bool passes;
};

class LevelOutcome : public PelmRules, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(LevelOutcome, AHundredPointsInTheLevelPassItAndFewerEndTheGame) {
    const LevelCase& c = GetParam();
    ASSERT_TRUE(clickStart());
    playLevel(c.hits, c.misses);
    if (c.passes) {
        EXPECT_FALSE(gameOverShown());
        EXPECT_EQ(level, 2);
        EXPECT_EQ(text(ABN_PtLevel), "Level 2");
        EXPECT_FALSE(inView(ABN_PtLevel));  // the banner stayed for its second only
        EXPECT_EQ(text(ABN_PtScore), std::to_string(10 * c.hits - 5 * c.misses));
    } else {
        EXPECT_TRUE(gameOverShown());
        EXPECT_FALSE(inView(ABN_PtG1));
        EXPECT_TRUE(selectable(ABN_PtOpzioni));
        EXPECT_TRUE(selectable(ABN_PtAbout));
        // The ticks have stopped.
        PhPoint_t hidden = place(ABN_PtG1);
        driver->advance(30000);
        EXPECT_EQ(place(ABN_PtG1), hidden);
    }
}

INSTANTIATE_TEST_SUITE_P(Points, LevelOutcome,
                         ::testing::Values(LevelCase{"TenHits", 10, 0, true},
                                           LevelCase{"ElevenHitsTwoMisses", 11, 2, true},
                                           LevelCase{"TenHitsOneMiss", 10, 1, false},
                                           LevelCase{"NineHits", 9, 0, false},
                                           LevelCase{"Nothing", 0, 0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// The level ends at the first tick once 20 - f seconds have passed, f being the fraction of a
// second at which it started; with 700 ms ticks from 2000 ms on, ticks come at 19.5 and 20.2 s.
struct EndCase {
    const char* name;
    double fraction;
    uint64_t lastRunningTick;  // ms after the start
    uint64_t endingTick;
};

class LevelEnd : public PelmGame, public ::testing::WithParamInterface<EndCase> {};

TEST_P(LevelEnd, OnlyWholeSecondsCount) {
    const EndCase& c = GetParam();
    setSecondFraction(c.fraction);
    openWindow();
    ASSERT_TRUE(clickStart());
    driver->advance(c.lastRunningTick);
    EXPECT_EQ(vissec, 1);
    EXPECT_FALSE(inView(ABN_PtGover));
    EXPECT_GE(std::stoi(text(ABN_PtSec1)), 1);
    driver->advance(c.endingTick - c.lastRunningTick);
    EXPECT_EQ(text(ABN_PtSec1), "0");
    EXPECT_EQ(place(ABN_PtGover), CoverOverField);
}

INSTANTIATE_TEST_SUITE_P(Fractions, LevelEnd,
                         ::testing::Values(EndCase{"OnTheSecond", 0.0, 19500, 20200},
                                           EndCase{"QuarterPast", 0.25, 19500, 20200},
                                           EndCase{"JustBeforeTheNext", 0.6, 18800, 19500},
                                           EndCase{"AlmostWhole", 0.99, 18800, 19500}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PelmRules, NextLevelShowsItsBannerForOneSecondThenTicksFiveMillisecondsFaster) {
    ASSERT_TRUE(clickOptions() && chooseDifficulty(ABN_PtNormal));
    ASSERT_TRUE(clickStart());
    driver->advance(2000);
    for (int i = 0; i < 10; i++) {
        ASSERT_TRUE(hit());
        nextTick();
    }
    // Ticks every 600 ms from 2000 ms: the level ends with the tick at 20.0 s.
    uint64_t levelStart = driver->clock().nowMs() - (2000 + 10 * 600);
    driver->advance(levelStart + 20000 - driver->clock().nowMs());
    // The banner's second passed inside the tick, on the virtual clock.
    EXPECT_EQ(driver->clock().nowMs(), levelStart + 21000);
    EXPECT_EQ(text(ABN_PtLevel), "Level 2");
    EXPECT_EQ(velocit, 595);
    EXPECT_EQ(text(ABN_PtScore), "100");
    EXPECT_EQ(scoreliv, 0);
    EXPECT_EQ(accums, 20.0);
    // The new level's first tick comes 2000 ms after it started, then every 595 ms.
    PhPoint_t waiting = place(ABN_PtG1);
    driver->advance(1999);
    EXPECT_EQ(place(ABN_PtG1), waiting);
    driver->advance(1);
    ASSERT_TRUE(hit());
    EXPECT_EQ(text(ABN_PtScore), "110");
    EXPECT_EQ(scoreliv, 10);
}

TEST_F(PelmRules, StartDuringAGameBeginsANewGameCarryingTheLevelCountOn) {
    ASSERT_TRUE(clickStart());
    playLevel(10, 0);
    ASSERT_EQ(level, 2);
    driver->advance(2000);
    ASSERT_TRUE(hit());
    ASSERT_TRUE(clickStart());
    EXPECT_EQ(text(ABN_PtScore), "0");
    EXPECT_EQ(level, 3);
    EXPECT_EQ(velocit, 695);  // the speed reached is kept
    EXPECT_EQ(accums, 20.0);
    PhPoint_t waiting = place(ABN_PtG1);
    driver->advance(1999);
    EXPECT_EQ(place(ABN_PtG1), waiting);
    driver->advance(1);
    EXPECT_EQ(text(ABN_PtSec1), "18");
    playLevel(10, 0);
    EXPECT_EQ(text(ABN_PtLevel), "Level 4");
}

TEST_F(PelmRules, AGameAfterAGameOverStartsAtTheSpeedTheLastOneReached) {
    ASSERT_TRUE(clickStart());
    playLevel(10, 0);
    playLevel(0, 0);
    ASSERT_EQ(place(ABN_PtGover), CoverOverField);
    ASSERT_TRUE(clickStart());
    EXPECT_EQ(velocit, 695);
    EXPECT_EQ(level, 1);
}

TEST_F(PelmRules, OptionsChooseTheDifficulty) {
    struct Choice {
        int picture;
        int interval;
        const char* name;
        int number;
    };
    for (Choice c :
         {Choice{ABN_PtDummy, 900, "Dummy", 1}, Choice{ABN_PtBeginner, 700, "Beginner", 2},
          Choice{ABN_PtNormal, 600, "Normal", 3}, Choice{ABN_PtDominator, 500, "Dominator", 4}}) {
        ASSERT_TRUE(clickOptions());
        EXPECT_TRUE(inView(ABN_PtOption));
        EXPECT_FALSE(selectable(ABN_PtGame));
        ASSERT_TRUE(chooseDifficulty(c.picture));
        EXPECT_FALSE(inView(ABN_PtOption));
        EXPECT_TRUE(selectable(ABN_PtGame));
        EXPECT_EQ(text(ABN_PtLivellod), c.name);
        EXPECT_EQ(velocit, c.interval);
        EXPECT_EQ(ldf1, c.number);
    }
}

TEST_F(PelmRules, PauseHidesTheFieldAndOnlyWholeSecondBoundariesCrossedAreAdded) {
    struct PauseCase {
        uint64_t from;  // ms after the first tick
        uint64_t length;
        double added;
    };
    // The level starts at .250 and its first tick comes at .250 as well.
    for (PauseCase c :
         {PauseCase{50, 600, 0.0}, PauseCase{50, 800, 1.0}, PauseCase{650, 2200, 3.0}}) {
        SCOPED_TRACE(c.length);
        setSecondFraction(0.25);
        ASSERT_TRUE(clickStart());
        driver->advance(2000 + c.from);
        typeKey("p");
        EXPECT_EQ(paus, 1);
        EXPECT_EQ(place(ABN_PtGover), CoverOverField);
        EXPECT_FALSE(selectable(ABN_PtGame));
        driver->click(AbWidgets[ABN_PtG1]);  // the cover takes the click
        EXPECT_EQ(score, 0);
        PhPoint_t still = place(ABN_PtG1);
        driver->advance(c.length);
        EXPECT_EQ(place(ABN_PtG1), still);  // no tick while paused
        typeKey("s");
        EXPECT_EQ(paus, 0);
        EXPECT_EQ(accums, 20.0 + c.added);
        EXPECT_TRUE(selectable(ABN_PtGame));
        EXPECT_FALSE(inView(ABN_PtGover));
        miss();  // the field answers again
        EXPECT_EQ(score, -5);
    }
}

TEST_F(PelmRules, PauseKeyActsOnlyInARunningGameAndResumeKeyOnlyInAPause) {
    // Idle: neither key changes anything.
    typeKey("p");
    EXPECT_EQ(paus, 0);
    EXPECT_TRUE(selectable(ABN_PtGame));
    ASSERT_TRUE(clickStart());
    driver->advance(5000);
    typeKey("s");
    EXPECT_EQ(accums, 20.0);
    typeKey("p");
    driver->advance(3000);
    typeKey("p");  // a second pause does not restart the pause
    driver->advance(2000);
    typeKey("s");
    EXPECT_EQ(accums, 25.0);
    typeKey("s");  // a second resume adds nothing
    EXPECT_EQ(accums, 25.0);
}

TEST_F(PelmRules, ATickDuringThePauseLeavesTheGremlinBehindTheCover) {
    ASSERT_TRUE(clickStart());
    playLevel(10, 0);
    // Paused before the new level's first tick, which still comes.
    PhPoint_t last = place(ABN_PtG1);
    typeKey("p");
    driver->advance(5000);
    EXPECT_EQ(place(ABN_PtG1), last);
    // The gremlin is not in front of the cover, so it cannot be hit through it.
    driver->click(AbWidgets[ABN_PtG1]);
    EXPECT_EQ(score, 100);
}

TEST_F(PelmRules, TheHitAnimationAlternatesTheTwoFrozenPicturesAndOpensOnTheOtherOneNextTime) {
    ASSERT_TRUE(clickStart());
    driver->advance(2000);
    EXPECT_EQ(picture(ABN_PtG1)->image, gremlinPicture("PtGrem1")->image);
    ASSERT_TRUE(hit());
    // 29 frames: the first hit opens and closes on the first frozen picture ...
    EXPECT_EQ(picture(ABN_PtG2)->image, gremlinPicture("PtGrem2")->image);
    nextTick();
    ASSERT_TRUE(hit());
    // ... and the second one on the other.
    EXPECT_EQ(picture(ABN_PtG2)->image, gremlinPicture("PtGrem3")->image);
    EXPECT_EQ(place(ABN_PtG2), pos);
    EXPECT_NE(gremlinPicture("PtGrem2")->image, gremlinPicture("PtGrem3")->image);
}

TEST_F(PelmRules, ThePictureModuleIsOpenedOnceForAllGames) {
    EXPECT_EQ(database, nullptr);  // not before the first Start
    ASSERT_TRUE(clickStart());
    ApDBase_t* opened = database;
    ASSERT_NE(opened, nullptr);
    playLevel(0, 0);
    ASSERT_TRUE(clickStart());
    ASSERT_TRUE(clickStart());
    EXPECT_EQ(database, opened);
    driver->advance(2000);
    EXPECT_EQ(picture(ABN_PtG1)->image, gremlinPicture("PtGrem1")->image);
}

TEST_F(PelmRules, TheGremlinAlwaysLandsInsideTheField) {
    // Each tick seeds the generator with the nanoseconds of its clock reading, so each game
    // below starts at another fraction of a second, the extremes included.
    constexpr int games = 400;
    std::set<std::pair<int, int>> places;
    for (int game = 0; game <= games; game++) {
        setSecondFraction(game == games ? 0.999999999 : static_cast<double>(game) / games);
        ASSERT_TRUE(clickStart());
        driver->advance(2000);
        PhPoint_t p = place(ABN_PtG1);
        EXPECT_GE(p.x, 25);
        EXPECT_LE(p.x + 82, 600);
        EXPECT_GE(p.y, 25);
        EXPECT_LE(p.y + 100, 440);
        places.insert({p.x, p.y});
    }
    EXPECT_GT(places.size(), 300u);  // the places do vary with the seed
}

TEST_F(PelmRules, AClockFailureIsReportedAndStopsTheCallbackWhereItStood) {
    driver->clock().failRealtime(EINVAL);
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(clickStart());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "clock gettime: Invalid argument\n");
    // The steps before the reading were done, those after it were not.
    EXPECT_FALSE(inView(ABN_PtGover));
    EXPECT_EQ(vissec, 1);
    EXPECT_TRUE(selectable(ABN_PtOpzioni));
    EXPECT_EQ(accums, 10000.0);

    ::testing::internal::CaptureStderr();
    driver->advance(2000);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "clock gettime: Invalid argument\n");
    EXPECT_FALSE(inView(ABN_PtG1));

    driver->clock().failRealtime(0);
    ASSERT_TRUE(clickStart());
    driver->advance(2000);
    EXPECT_TRUE(inView(ABN_PtG1));
    EXPECT_EQ(text(ABN_PtSec1), "18");
}

TEST_F(PelmRules, ATooSlowSpeedUpStopsAtAFewMilliseconds) {
    ASSERT_TRUE(clickStart());
    driver->advance(2000);
    for (int i = 0; i < 10; i++) {
        ASSERT_TRUE(hit());
        nextTick();
    }
    velocit = 7;  // as after many levels passed
    while (level == 1) {
        driver->advance(100);
    }
    EXPECT_EQ(velocit, 5);
    // The banner's second has just passed: the new level's ticks come every 5 ms.
    driver->advance(2000);
    PhPoint_t first = place(ABN_PtG1);
    driver->advance(4);
    EXPECT_EQ(place(ABN_PtG1), first);
    driver->advance(1);
    EXPECT_NE(place(ABN_PtG1), first);
}

TEST_F(PelmRules, LevelBannerHasRoomForLargeLevelNumbers) {
    ASSERT_TRUE(clickStart());
    level = 123456788;
    playLevel(10, 0);
    EXPECT_EQ(text(ABN_PtLevel), "Level 123456789");
}

}  // namespace
