// A small application for the run time's tests: one window module with a widget of each kind,
// a picture module, and recording code links; written as a widget database in a temporary
// file and opened headless.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "photon/Ap.h"
#include "photon/db/widget_db.h"
#include "photon/testing/driver.h"

namespace photon_test {

// Widget table positions of the test window's widgets.
enum : int {
    kWindow,
    kSelectable,  // a selectable label, "Sel", at (10, 10) 50 x 20
    kPlain,       // a label without the selectable flag, at (70, 10) 50 x 20
    kFront,       // a selectable label overlapping kSelectable's right half, (35, 10) 50 x 20
    kCover,       // a plain label over kFront's right part, (70, 10) 20 x 20, stacked last
    kTimer,
    kField,   // a text field, at most 5 characters, at (10, 40) 100 x 24
    kHelp,    // a multi-line text with more lines than fit, at (120, 40) 70 x 50
    kBox,     // a pane at (8, 70) 60 x 26 with the default border
    kInner,   // a label filling the pane's canvas, fill #FF0000
    kButton,  // a button at (130, 92) 60 x 20 (partly outside the window)
    kWidgetCount
};

// What the recording links saw: "widget:reason", with ":key" for hotkeys and "@ms" (the run
// time's clock) for timers.
std::vector<std::string>& events();

class RuntimeTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The path of the database written for the test.
    static std::string databasePath();
    // Opens the test window with these command-line options.
    PtWidget_t* open(const std::vector<std::string>& options = {});

    PtWidget_t* widget(int index) const { return widgets[index]; }
    static std::string text(PtWidget_t* widget);

    PtWidget_t* widgets[kWidgetCount + 4] = {};
    ApContext_t context{};
    std::unique_ptr<photon::testing::Driver> driver;
};

// The test's application: its window module and its picture module (for ApOpenDBase).
extern ApLink_t testPictureLink[];

}  // namespace photon_test
