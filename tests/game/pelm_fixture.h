// A game of Pelm played through the headless test driver: the main window opened from the
// game's widget database in a temporary working directory (where score.pml lives), a virtual
// clock, and clicks and keys sent the way a player gives them.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "clic1.h"
#include "photon/testing/driver.h"

class PelmGame : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Puts score.pml into the working directory before the window opens.
    void writeScoreFile(const std::string& text);
    std::string readScoreFile() const;
    // Sets the real-time clock so that the next reading falls `fraction` past a whole second.
    void setSecondFraction(double fraction);
    // Opens the main window, which runs open_window1.
    void openWindow();

    // Status-bar entries, the options pane and the new-record pane, as a player clicks them.
    bool clickStart() { return driver->click(AbWidgets[ABN_PtGame]); }
    bool clickOptions() { return driver->click(AbWidgets[ABN_PtOpzioni]); }
    bool clickQuit() { return driver->click(AbWidgets[ABN_PtEsci]); }
    bool chooseDifficulty(int abn) { return driver->click(AbWidgets[abn]); }
    // A click on the gremlin, which must be in view.
    bool hit() { return driver->click(AbWidgets[ABN_PtG1]); }
    // A click on the field where the gremlin can never be.
    void miss() { driver->clickAt(5, 430); }
    void typeKey(const char* key) { driver->type(key); }
    // Types a name into the new-record pane and presses OK.
    void enterName(const std::string& name);

    // Plays one level from its start: one hit or miss at each of the first ticks, then runs
    // the clock past the level's end (the tick after it, and the level banner's second).
    void playLevel(int hits, int misses);
    // Moves the virtual clock to the next tick of the running level.
    void nextTick() { driver->advance(static_cast<uint64_t>(velocit)); }

    std::string text(int abn) const;
    PhPoint_t place(int abn) const;
    bool selectable(int abn) const;
    // The picture a label shows.
    const PhImage_t* picture(int abn) const;
    // The picture of the named widget of the picture module.
    const PhImage_t* gremlinPicture(const char* name) const;
    bool inView(int abn) const { return place(abn).y < 470; }

    std::optional<photon::testing::Driver> driver;
    std::filesystem::path workDirectory;

  private:
    std::filesystem::path previousDirectory;
};

bool operator==(const PhPoint_t& a, const PhPoint_t& b);
void PrintTo(const PhPoint_t& point, std::ostream* out);
