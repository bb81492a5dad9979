// Resources, stacking, pointer and keyboard behaviour of the widget library.
#include <cstring>

#include "runtime_fixture.h"

namespace photon_test {
namespace {

class WidgetTest : public RuntimeTest {
  protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        ASSERT_NE(open(), nullptr);
        events().clear();
    }
};

TEST_F(WidgetTest, OpeningFillsTheTableAppliesResourcesAndFiresRealizedAfterIt) {
    events().clear();
    driver.reset();
    RuntimeTest::SetUp();
    ASSERT_NE(open(), nullptr);
    EXPECT_EQ(events(), std::vector<std::string>{"Win:1012"});
    for (int index = 0; index < kWidgetCount; ++index) {
        EXPECT_NE(widget(index), nullptr) << index;
    }
    EXPECT_EQ(photon::testing::nameOf(widget(kField)), "Field");
    PhDim_t* size = nullptr;
    ASSERT_EQ(PtGetResource(widget(kWindow), Pt_ARG_DIM, &size, 0), 0);
    EXPECT_EQ(size->w, 200);
    EXPECT_EQ(size->h, 100);
    long* flags = nullptr;
    ASSERT_EQ(PtGetResource(widget(kSelectable), Pt_ARG_FLAGS, &flags, 0), 0);
    EXPECT_EQ(*flags & 0x2080080, 0x2080080);
    ASSERT_EQ(PtGetResource(widget(kButton), Pt_ARG_FLAGS, &flags, 0), 0);
    EXPECT_EQ(*flags & Pt_SELECTABLE, Pt_SELECTABLE) << "a button is selectable by default";
}

TEST_F(WidgetTest, TextIsCopiedAndReadBackUntilItChanges) {
    char buffer[16];
    std::strcpy(buffer, "1234");
    ASSERT_EQ(PtSetResource(widget(kPlain), Pt_ARG_TEXT_STRING, buffer, 0), 0);
    std::strcpy(buffer, "9999");
    EXPECT_EQ(text(widget(kPlain)), "1234");
    PtSetResource(widget(kPlain), Pt_ARG_TEXT_STRING, "", 0);
    EXPECT_EQ(text(widget(kPlain)), "");
}

TEST_F(WidgetTest, FlagsTakeTheBitsOfTheMaskOnly) {
    struct Case {
        long value;
        long mask;
        long expected;
    };
    const Case cases[] = {
        {0x2000000, 0x2080080, 0x2000000},
        {0x2080080, 0x2080080, 0x2080080},
        {0x0, 0x80, 0x2080000},
        {0xFFFFFFFF, 0x0, 0x2080080},
    };
    for (const Case& c : cases) {
        PtSetResource(widget(kSelectable), Pt_ARG_FLAGS, 0x2080080, 0xFFFFFFFF);
        PtSetResource(widget(kSelectable), Pt_ARG_FLAGS, c.value, c.mask);
        long* flags = nullptr;
        PtGetResource(widget(kSelectable), Pt_ARG_FLAGS, &flags, 0);
        EXPECT_EQ(*flags, c.expected) << std::hex << c.value << " " << c.mask;
    }
}

TEST_F(WidgetTest, PositionsMoveWidgetsAndUnknownResourcesAreRefused) {
    PhPoint_t place{-30, 400};
    ASSERT_EQ(PtSetResource(widget(kSelectable), Pt_ARG_POS, &place, 0), 0);
    PhPoint_t* pos = nullptr;
    PtGetResource(widget(kSelectable), Pt_ARG_POS, &pos, 0);
    EXPECT_EQ(pos->x, -30);
    EXPECT_EQ(pos->y, 400);
    EXPECT_FALSE(driver->click(widget(kSelectable))) << "a widget out of view was clicked";
    EXPECT_EQ(PtSetResource(widget(kSelectable), 99999, 1, 0), -1);
    EXPECT_EQ(PtSetResource(nullptr, Pt_ARG_POS, &place, 0), -1);
    EXPECT_EQ(PtSetResource(widget(kSelectable), Pt_ARG_TIMER_INITIAL, 10, 0), -1);
    void* value = nullptr;
    EXPECT_EQ(PtGetResource(widget(kSelectable), 99999, &value, 0), -1);
}

TEST_F(WidgetTest, FrontMostSelectableWidgetTakesTheClickAndRestackingChangesIt) {
    driver->clickAt(45, 20);  // where "Sel" and "Front" overlap
    EXPECT_EQ(events(), std::vector<std::string>{"Front:2009"});
    events().clear();
    PtWidgetToFront(widget(kSelectable));
    driver->clickAt(45, 20);
    EXPECT_EQ(events(), std::vector<std::string>{"Sel:2009"});
    events().clear();
    PtWidgetToBack(widget(kSelectable));
    driver->clickAt(45, 20);
    EXPECT_EQ(events(), std::vector<std::string>{"Front:2009"});
}

TEST_F(WidgetTest, WidgetsWithoutTheSelectableFlagLetClicksThrough) {
    // "Plain" has a link but no selectable flag; "Cover" lies over "Front" and is not
    // selectable either.
    driver->clickAt(110, 20);
    EXPECT_TRUE(events().empty());
    driver->clickAt(75, 20);
    EXPECT_EQ(events(), std::vector<std::string>{"Front:2009"});
    events().clear();
    PtSetResource(widget(kPlain), Pt_ARG_FLAGS, Pt_SELECTABLE, Pt_SELECTABLE);
    driver->clickAt(110, 20);
    EXPECT_EQ(events(), std::vector<std::string>{"Plain:2009"});
}

TEST_F(WidgetTest, ChildrenAreClippedByTheirParentAndTheWindow) {
    // The button reaches past the bottom edge: its visible part still takes clicks.
    ASSERT_TRUE(driver->click(widget(kButton)));
    EXPECT_EQ(events(), std::vector<std::string>{"Button:2009"});
    // The pane's child starts inside its border.
    EXPECT_EQ(driver->pixel(11, 73), 0xFF0000u);
    EXPECT_NE(driver->pixel(8, 70), 0xFF0000u);
    PhPoint_t outside{40, 0};
    PtSetResource(widget(kInner), Pt_ARG_POS, &outside, 0);
    EXPECT_EQ(driver->pixel(66, 80), 0xFF0000u) << "the child's part inside the pane is drawn";
    EXPECT_NE(driver->pixel(69, 80), 0xFF0000u) << "the child was drawn outside its pane";
}

TEST_F(WidgetTest, TextFieldTakesKeysWithinItsLimitOnlyWhileFocused) {
    driver->type("p");
    EXPECT_EQ(events(), std::vector<std::string>{"Win:1010:p"});
    events().clear();
    ASSERT_TRUE(driver->click(widget(kField)));
    driver->type("pé");
    driver->type("xyz!");  // one character more than fits
    EXPECT_EQ(text(widget(kField)), "péxyz");
    EXPECT_TRUE(events().empty()) << "a key typed into the field fired a hotkey";
    driver->key(SDLK_BACKSPACE);
    driver->key(SDLK_HOME);
    driver->key(SDLK_DELETE);
    driver->key(SDLK_RIGHT);
    driver->key(SDLK_BACKSPACE);  // the two bytes of "é" go together
    EXPECT_EQ(text(widget(kField)), "xy");
    // Moved out of view, the field no longer holds the keyboard.
    PhPoint_t away{10, 300};
    PtSetResource(widget(kField), Pt_ARG_POS, &away, 0);
    driver->type("p");
    EXPECT_EQ(events(), std::vector<std::string>{"Win:1010:p"});
    // A click elsewhere takes the focus away as well.
    PhPoint_t back{10, 40};
    PtSetResource(widget(kField), Pt_ARG_POS, &back, 0);
    driver->click(widget(kField));
    driver->clickAt(150, 5);
    driver->type("p");
    EXPECT_EQ(text(widget(kField)), "xy");
}

TEST_F(WidgetTest, MultiLineTextScrollsWithinItsLimits) {
    auto snapshot = [&] {
        std::vector<uint32_t> pixels;
        for (int y = 42; y < 88; ++y) {
            for (int x = 122; x < 175; ++x) {
                pixels.push_back(driver->pixel(x, y));
            }
        }
        return pixels;
    };
    auto top = snapshot();
    driver->wheelAt(150, 60, 1);  // already at the top
    EXPECT_EQ(snapshot(), top);
    driver->wheelAt(150, 60, -1);
    auto scrolled = snapshot();
    EXPECT_NE(scrolled, top);
    driver->wheelAt(150, 60, -100);
    auto bottom = snapshot();
    driver->wheelAt(150, 60, -1);  // already at the bottom
    EXPECT_EQ(snapshot(), bottom);
    driver->wheelAt(150, 60, 100);
    EXPECT_EQ(snapshot(), top);
}

TEST_F(WidgetTest, PictureModuleHandsOutItsPicturesByWidgetName) {
    ApDBase_t* pictures = ApOpenDBase(&testPictureLink[0]);
    ASSERT_NE(pictures, nullptr);
    PhImage_t* picture = ApGetImageRes(pictures, "Pic");
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->size.w, 4);
    EXPECT_EQ(picture->size.h, 2);
    EXPECT_EQ(picture->transparent, 0);
    EXPECT_EQ(picture->palette[picture->image[1]], 0xFF0000u);
    EXPECT_EQ(ApGetImageRes(pictures, "Store"), nullptr);
    EXPECT_EQ(ApGetImageRes(pictures, "Nothing"), nullptr);

    // Shown by a label: the transparent index lets the label's background through.
    PtSetResource(widget(kInner), Pt_ARG_LABEL_TYPE, Pt_IMAGE, 0);
    PtSetResource(widget(kInner), Pt_ARG_LABEL_IMAGE, picture, 0);
    PtSetResource(widget(kInner), Pt_ARG_MARGIN_WIDTH, 0, 0);
    PtSetResource(widget(kInner), Pt_ARG_MARGIN_HEIGHT, 0, 0);
    PtSetResource(widget(kInner), Pt_ARG_VERTICAL_ALIGNMENT, Pt_TOP, 0);
    EXPECT_EQ(driver->pixel(10, 72), 0xFF0000u) << "index 0 is transparent: the fill shows";
    EXPECT_EQ(driver->pixel(11, 72), 0xFF0000u);
    EXPECT_EQ(driver->pixel(12, 72), 0x00FF00u);
    EXPECT_EQ(driver->pixel(13, 72), 0x0000FFu);
    EXPECT_EQ(driver->pixel(10, 73), 0x0000FFu);
    EXPECT_EQ(ApCloseDBase(pictures), 0);
}

TEST_F(WidgetTest, ClosingTheOnlyWindowEndsTheProgramWithStatusZero) {
    driver->closeWindow(widget(kWindow));
    EXPECT_EQ(driver->exitStatus(), 0);
}

}  // namespace
}  // namespace photon_test
