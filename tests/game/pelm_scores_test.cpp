// The high-score table of Pelm: score.pml loaded when the window opens and written by Quit, the
// record check at game over, and the new-record pane.
#include <cerrno>
#include <filesystem>

#include "pelm_fixture.h"

namespace {

// The table of the widget database, which shows when no file has been read.
constexpr const char DatabaseTable[] = "Wimble\n1000\nNerd\n800\nIron Kite\n500\nKiller\n200\n";
constexpr PhPoint_t RecordPaneShown = {170, 290};

class PelmScores : public PelmGame {
  protected:
    // Opens the window with `file` as score.pml and returns what was echoed on standard output.
    std::string openWith(const std::string& file) {
        writeScoreFile(file);
        return openCapturingOutput();
    }
    std::string openCapturingOutput() {
        ::testing::internal::CaptureStdout();
        openWindow();
        return ::testing::internal::GetCapturedStdout();
    }
    void quit() {
        ASSERT_TRUE(clickQuit());
        ASSERT_TRUE(driver->exitStatus().has_value());
    }
    // Plays one game on the difficulty shown by picture `difficulty`, to a game over with
    // `hits` points x 10.
    void playGame(int difficulty, int hits) {
        ASSERT_TRUE(clickOptions());
        ASSERT_TRUE(chooseDifficulty(difficulty));
        ASSERT_TRUE(clickStart());
        playLevel(hits, 0);
        ASSERT_EQ(vissec, 0) << "the game should be over";
    }
    bool recordPaneShown() const { return place(ABN_PtRecord1) == RecordPaneShown; }
};

TEST_F(PelmScores, AFileWrittenByQuitIsReadBackUnchangedAndEchoed) {
    const std::string file = "Ann\n1500\nBob Builder\n-15\n\n0\nZoe\n2147483647\n";
    std::string echo = openWith(file);
    EXPECT_EQ(echo, "Ann\n\n1500\n\nBob Builder\n\n-15\n\n\n\n0\n\nZoe\n\n2147483647\n\n");
    EXPECT_EQ(text(ABN_PtNome1), "Ann\n");
    EXPECT_EQ(text(ABN_PtPunti1), "1500\n");
    EXPECT_EQ(text(ABN_PtNome2), "Bob Builder\n");
    EXPECT_EQ(text(ABN_PtPunti2), "-15\n");
    EXPECT_EQ(text(ABN_PtNome3), "\n");
    EXPECT_EQ(text(ABN_PtNome4), "Zoe\n");
    EXPECT_EQ(text(ABN_PtPunti4), "2147483647\n");
    EXPECT_STREQ(nome2, "Bob Builder\n");
    EXPECT_EQ(vscore2, -15);
    EXPECT_EQ(vscore4, 2147483647);
    quit();
    EXPECT_EQ(driver->exitStatus(), 0);
    EXPECT_EQ(readScoreFile(), file);
}

struct FileCase {
    const char* name;
    const char* file;     // nullptr: no score.pml at all
    const char* echo;     // what loading prints
    const char* written;  // what Quit writes back
};

class ScoreFileCases : public PelmScores, public ::testing::WithParamInterface<FileCase> {};

TEST_P(ScoreFileCases, TheTableShownIsTheTableWritten) {
    const FileCase& c = GetParam();
    std::string echo = c.file != nullptr ? openWith(c.file) : openCapturingOutput();
    EXPECT_EQ(echo, c.echo);
    quit();
    EXPECT_EQ(driver->exitStatus(), 0);
    std::string written = readScoreFile();
    EXPECT_EQ(written, c.written);
    // What Quit wrote is what the labels show, line for line.
    std::string shown;
    for (int abn : {ABN_PtNome1, ABN_PtPunti1, ABN_PtNome2, ABN_PtPunti2, ABN_PtNome3, ABN_PtPunti3,
                    ABN_PtNome4, ABN_PtPunti4}) {
        std::string label = text(abn);
        shown += label.ends_with('\n') ? label : label + "\n";
    }
    EXPECT_EQ(shown, written);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ScoreFileCases,
    ::testing::Values(
        FileCase{"Missing", nullptr, "", DatabaseTable}, FileCase{"Empty", "", "", DatabaseTable},
        FileCase{"ThreeLines", "Ann\n42\nBob\n", "Ann\n\n42\n\nBob\n\n",
                 "Ann\n42\nBob\n800\nIron Kite\n500\nKiller\n200\n"},
        FileCase{"NoNewlineAtTheEnd", "A\n1\nB\n2\nC\n3\nD\n-7",
                 "A\n\n1\n\nB\n\n2\n\nC\n\n3\n\nD\n\n-7\n", "A\n1\nB\n2\nC\n3\nD\n-7\n"},
        FileCase{"NameLongerThanItsSlot", "ABCDEFGHIJKLMNOPQRSTUVWXYZ\n5\n",
                 "ABCDEFGHIJKLMNOPQRSTUVWXYZ\n\n5\n\n",
                 "ABCDEFGHIJKLMNOPQR\n5\nNerd\n800\nIron Kite\n500\nKiller\n200\n"},
        FileCase{"LineLongerThanTheReadBuffer",
                 "0123456789012345678901234567890123456789012345678901234567890123456789"
                 "0123456789012345678901234567890123456789\n77\n",
                 "0123456789012345678901234567890123456789012345678901234567890123456789"
                 "012345678\n77\n\n",
                 "012345678901234567\n77\nNerd\n800\nIron Kite\n500\nKiller\n200\n"},
        FileCase{"LinesAfterTheEighth", "a\n1\nb\n2\nc\n3\nd\n4\nextra\n",
                 "a\n\n1\n\nb\n\n2\n\nc\n\n3\n\nd\n\n4\n\nextra\n\n", "a\n1\nb\n2\nc\n3\nd\n4\n"},
        FileCase{"ScoreWithoutDigits", "a\nnone\n", "a\n\nnone\n\n",
                 "a\n0\nNerd\n800\nIron Kite\n500\nKiller\n200\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PelmScores, NamesAreCutWithoutSplittingACharacter) {
    // 17 ASCII letters and a two-byte letter: the letter does not fit the 18 bytes of a name.
    openWith("abcdefghijklmnopq\xC3\xA9xyz\n1\n");
    EXPECT_STREQ(nome1, "abcdefghijklmnopq\n");
}

TEST_F(PelmScores, AScoreAboveTheBestOpensTheRecordPaneAndATieDoesNot) {
    openWith("a\n10\nb\n20\nc\n40\nd\n30\n");
    playGame(ABN_PtNormal, 4);  // 40: a tie
    EXPECT_FALSE(recordPaneShown());
    EXPECT_EQ(text(ABN_PtPunti3), "40\n");
    playGame(ABN_PtNormal, 5);  // 50: one hit more
    EXPECT_TRUE(recordPaneShown());
    EXPECT_EQ(text(ABN_PtScorec), "50");
    EXPECT_EQ(text(ABN_PtPunti3), "50");
    EXPECT_EQ(vscore3, 50);
    EXPECT_STREQ(nome3, "c\n");  // the holder's name changes only on OK
    // The game itself is over and idle meanwhile.
    EXPECT_TRUE(selectable(ABN_PtGame));
    EXPECT_TRUE(selectable(ABN_PtOpzioni));
}

TEST_F(PelmScores, TheRecordCheckComparesWithTheDatabaseTableWhenNoFileWasRead) {
    openCapturingOutput();
    playGame(ABN_PtDominator, 2);  // 20 against the database's 200
    EXPECT_FALSE(recordPaneShown());
    EXPECT_EQ(vscore4, 200);
}

TEST_F(PelmScores, NoDifficultyChosenMeansNoRecordCheck) {
    openWith("a\n-100\nb\n-100\nc\n-100\nd\n-100\n");
    ASSERT_TRUE(clickStart());
    playLevel(1, 0);
    ASSERT_EQ(vissec, 0);
    EXPECT_FALSE(recordPaneShown());
}

TEST_F(PelmScores, TheNameTypedOnTheRecordPaneIsStoredWithItsNewlineAndWrittenByQuit) {
    openWith("a\n10\nb\n20\nc\n30\nd\n-40\n");
    playGame(ABN_PtDominator, 0);  // 0 beats -40
    ASSERT_TRUE(recordPaneShown());
    enterName("Eve");
    EXPECT_FALSE(inView(ABN_PtRecord1));
    EXPECT_STREQ(nome4, "Eve\n");
    EXPECT_EQ(text(ABN_PtNome4), "Eve\n");
    quit();
    EXPECT_EQ(readScoreFile(), "a\n10\nb\n20\nc\n30\nEve\n0\n");
}

TEST_F(PelmScores, TheNameGoesToTheSlotOfTheRecordEvenAfterAnotherDifficultyIsChosen) {
    openWith("a\n10\nb\n20\nc\n30\nd\n40\n");
    playGame(ABN_PtNormal, 4);
    ASSERT_TRUE(recordPaneShown());
    ASSERT_TRUE(clickOptions());
    ASSERT_TRUE(chooseDifficulty(ABN_PtDummy));
    enterName("Max");
    EXPECT_STREQ(nome3, "Max\n");
    EXPECT_STREQ(nome1, "a\n");
    quit();
    EXPECT_EQ(readScoreFile(), "a\n10\nb\n20\nMax\n40\nd\n40\n");
}

TEST_F(PelmScores, QuitBeforeOkSavesTheNewScoreWithThePreviousName) {
    openWith("a\n10\nb\n20\nc\n30\nd\n40\n");
    playGame(ABN_PtBeginner, 3);
    ASSERT_TRUE(recordPaneShown());
    quit();
    EXPECT_EQ(readScoreFile(), "a\n10\nb\n30\nc\n30\nd\n40\n");
}

TEST_F(PelmScores, ALongTypedNameIsCutToItsSlot) {
    openWith("a\n10\nb\n20\nc\n30\nd\n40\n");
    playGame(ABN_PtDummy, 2);
    ASSERT_TRUE(recordPaneShown());
    enterName("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    EXPECT_LE(std::string(nome1).size(), 19u);
    EXPECT_TRUE(std::string(nome1).ends_with('\n'));
    quit();
    std::string written = readScoreFile();
    EXPECT_EQ(written.substr(written.find('\n')), "\n20\nb\n20\nc\n30\nd\n40\n");
}

TEST_F(PelmScores, AFileThatCannotBeReplacedIsReportedAndLeftAsItWas) {
    // A directory in the place of score.pml can be neither read as a table nor replaced.
    std::filesystem::create_directory(workDirectory / "score.pml");
    EXPECT_EQ(openCapturingOutput(), "");
    EXPECT_EQ(text(ABN_PtNome1), "Wimble");
    ::testing::internal::CaptureStderr();
    quit();
    std::string message = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(message.find("score.pml"), std::string::npos) << message;
    EXPECT_EQ(driver->exitStatus(), 1);
    EXPECT_TRUE(std::filesystem::is_directory(workDirectory / "score.pml"));
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(workDirectory),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(PelmScores, AClockFailureAtWindowOpeningSkipsTheTable) {
    writeScoreFile("a\n10\nb\n20\nc\n30\nd\n40\n");
    driver->clock().failRealtime(EIO);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(openCapturingOutput(), "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "clock gettime: Input/output error\n");
    EXPECT_EQ(text(ABN_PtNome1), "Wimble");
    EXPECT_STREQ(nome1, "");
}

}  // namespace
