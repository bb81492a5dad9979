// The game's skeleton opened headless from the game's widget database, with recording
// callbacks in place of the game's rules.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "abmain.h"
#include "photon/db/widget_db.h"
#include "photon/testing/driver.h"
#include "recording_callbacks.h"

class SkeletonTest : public ::testing::Test {
  protected:
    void SetUp() override {
        firedCallbacks().clear();
        mainWindow = driver.start(&AbContext, AbApplLinks, {"gremgame"});
        ASSERT_NE(mainWindow, nullptr);
    }

    // Moves a widget of the main window to a place and raises it, as the game shows widgets.
    static void showAt(int index, short x, short y) {
        PhPoint_t place{x, y};
        PtSetResource(AbWidgets[index], Pt_ARG_POS, &place, 0);
        PtWidgetToFront(AbWidgets[index]);
    }

    static PhPoint_t positionOf(int index) {
        PhPoint_t* pos = nullptr;
        PtGetResource(AbWidgets[index], Pt_ARG_POS, &pos, 0);
        return *pos;
    }

    static std::string textOf(PtWidget_t* widget, long resource) {
        char* text = nullptr;
        PtGetResource(widget, resource, &text, 0);
        return text ? text : "";
    }

    photon::testing::Driver driver{GAME_DATABASE};
    PtWidget_t* mainWindow = nullptr;
};

// The stored database of the game, read once.
const photon::db::Database& gameDatabase();
// The colour 0xRRGGBB of a pixel of a stored picture, and whether it is the transparent one.
uint32_t pictureColour(const photon::db::Picture& picture, int x, int y);
bool pictureTransparent(const photon::db::Picture& picture, int x, int y);
