// The main window as the skeleton opens it, and which link fires on which widget, key and
// reason.
#include <functional>

#include "skeleton_fixture.h"

namespace {

TEST_F(SkeletonTest, MainWindowOpensAtDesignSizeWithTitleAndRealizedFiresOnce) {
    EXPECT_EQ(driver.outputSize(), (std::pair{600, 470}));
    EXPECT_EQ(textOf(mainWindow, Pt_ARG_WINDOW_TITLE), "P e l m !");
    EXPECT_EQ(mainWindow, AbWidgets[ABN_base1]);
    EXPECT_EQ(firedCallbacks(), std::vector<std::string>{"open_window1"});
    EXPECT_EQ(driver.windows().size(), 1u);
}

TEST_F(SkeletonTest, PaneBannerGremlinsAndRecordPaneLieBelowTheWindow) {
    for (int index : {ABN_PtOption, ABN_PtLevel, ABN_PtRecord1, ABN_PtG1, ABN_PtG2}) {
        SCOPED_TRACE(index);
        EXPECT_GE(positionOf(index).y, 470);
        EXPECT_FALSE(driver.click(AbWidgets[index])) << "a hidden widget can be clicked";
    }
    EXPECT_TRUE(firedCallbacks().size() == 1);  // only the realized callback
}

TEST_F(SkeletonTest, WidgetTableHoldsEveryIndexedWidgetOfTheOpenModules) {
    driver.click(AbWidgets[ABN_PtAbout]);
    struct Entry {
        int index;
        const char* name;
    };
    const Entry entries[] = {
        {ABN_base1, "base1"},         {ABN_PtLabel2, "PtLabel2"},
        {ABN_PtLevel, "PtLevel"},     {ABN_PtOption, "PtOption"},
        {ABN_PtDummy, "PtDummy"},     {ABN_PtBeginner, "PtBeginner"},
        {ABN_PtNormal, "PtNormal"},   {ABN_PtDominator, "PtDominator"},
        {ABN_PtPunti1, "PtPunti1"},   {ABN_PtPunti2, "PtPunti2"},
        {ABN_PtPunti4, "PtPunti4"},   {ABN_PtPunti3, "PtPunti3"},
        {ABN_PtNome1, "PtNome1"},     {ABN_PtNome2, "PtNome2"},
        {ABN_PtNome3, "PtNome3"},     {ABN_PtNome4, "PtNome4"},
        {ABN_PtG2, "PtG2"},           {ABN_PtG1, "PtG1"},
        {ABN_PtBlack, "PtBlack"},     {ABN_PtOpzioni, "PtOpzioni"},
        {ABN_PtAbout, "PtAbout"},     {ABN_PtEsci, "PtEsci"},
        {ABN_PtGame, "PtGame"},       {ABN_PtTimer1, "PtTimer1"},
        {ABN_PtScore, "PtScore"},     {ABN_PtSec1, "PtSec1"},
        {ABN_PtGover, "PtGover"},     {ABN_PtGo, "PtGo"},
        {ABN_PtSpet, "PtSpet"},       {ABN_PtLivellod, "PtLivellod"},
        {ABN_PtRecord1, "PtRecord1"}, {ABN_PtNome, "PtNome"},
        {ABN_Ptd1, "Ptd1"},           {ABN_Ptd3, "Ptd3"},
        {ABN_PtScorec, "PtScorec"},   {ABN_PtNo, "PtNo"},
        {ABN_Aboutbx, "Aboutbx"},     {ABN_about, "about"},
        {ABN_PtHelp1, "PtHelp1"},     {ABN_PtTitl, "PtTitl"},
    };
    for (const Entry& entry : entries) {
        ASSERT_NE(AbWidgets[entry.index], nullptr) << entry.name;
        EXPECT_EQ(photon::testing::nameOf(AbWidgets[entry.index]), entry.name);
    }
    // The picture module is not opened at start; its indices follow its stored order.
    const photon::db::Module* pictures = gameDatabase().findModule("Veredodi.wgtp");
    ASSERT_NE(pictures, nullptr);
    const std::pair<int, const char*> pictureEntries[] = {{ABN_Veredodi, "Veredodi"},
                                                          {ABN_PtGrem1, "PtGrem1"},
                                                          {ABN_PtGrem2, "PtGrem2"},
                                                          {ABN_PtGrem3, "PtGrem3"},
                                                          {ABN_PtGrem4, "PtGrem4"}};
    for (auto [index, name] : pictureEntries) {
        EXPECT_EQ(AbWidgets[index], nullptr) << name;
        const photon::db::Widget* stored = pictures->findWidget(name);
        ASSERT_NE(stored, nullptr) << name;
        EXPECT_EQ(stored->widgetIndex(), static_cast<uint32_t>(index - Veredodi.first_index));
    }
}

// One link of the main window: what makes its event happen, and the callback it must fire.
struct LinkCase {
    const char* name;
    std::function<void(photon::testing::Driver&)> act;
    const char* callback;
};

void PrintTo(const LinkCase& linkCase, std::ostream* out) {
    *out << linkCase.name;
}

void clickShown(photon::testing::Driver& driver, int index, int shownIndex, short x, short y) {
    PhPoint_t place{x, y};
    PtSetResource(AbWidgets[shownIndex], Pt_ARG_POS, &place, 0);
    PtWidgetToFront(AbWidgets[shownIndex]);
    ASSERT_TRUE(driver.click(AbWidgets[index]));
}

const LinkCase kLinkCases[] = {
    {"HotkeyP", [](auto& d) { d.type("p"); }, "Pausa"},
    {"HotkeyS", [](auto& d) { d.type("s"); }, "Resum"},
    {"FieldBesideTheGremlin", [](auto& d) { clickShown(d, ABN_PtLabel2, ABN_PtGover, -2, 480); },
     "loose"},
    {"Dummy", [](auto& d) { clickShown(d, ABN_PtDummy, ABN_PtOption, 20, 20); }, "Dummy1"},
    {"Beginner", [](auto& d) { clickShown(d, ABN_PtBeginner, ABN_PtOption, 20, 20); }, "Begin1"},
    {"Normal", [](auto& d) { clickShown(d, ABN_PtNormal, ABN_PtOption, 20, 20); }, "Normal1"},
    {"Dominator", [](auto& d) { clickShown(d, ABN_PtDominator, ABN_PtOption, 20, 20); },
     "Dominat1"},
    {"Gremlin", [](auto& d) { clickShown(d, ABN_PtG1, ABN_PtG1, 100, 100); }, "ok1"},
    {"Options", [](auto& d) { ASSERT_TRUE(d.click(AbWidgets[ABN_PtOpzioni])); }, "Opzioni1"},
    {"Quit", [](auto& d) { ASSERT_TRUE(d.click(AbWidgets[ABN_PtEsci])); }, "esci"},
    {"Start", [](auto& d) { ASSERT_TRUE(d.click(AbWidgets[ABN_PtGame])); }, "clic1"},
    {"Timer",
     [](auto& d) {
         PtSetResource(AbWidgets[ABN_PtTimer1], Pt_ARG_TIMER_INITIAL, 50, 0);
         d.advance(49);
         ASSERT_TRUE(firedCallbacks().empty()) << "the timer fired early";
         d.advance(1);
     },
     "movim1"},
    {"RecordOk", [](auto& d) { clickShown(d, ABN_PtNo, ABN_PtRecord1, 170, 290); }, "Invio"},
};

class LinkTest : public SkeletonTest, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(LinkTest, FiresItsCallbackOnceAndNothingElse) {
    firedCallbacks().clear();
    GetParam().act(driver);
    EXPECT_EQ(firedCallbacks(), std::vector<std::string>{GetParam().callback});
    EXPECT_EQ(driver.windows().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(MainWindow, LinkTest, ::testing::ValuesIn(kLinkCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SkeletonTest, LinkTableHasFifteenRecordsBeforeItsEnd) {
    int count = 0;
    while (AbLinks_base1[count].type != Ap_LINK_END) {
        ++count;
    }
    EXPECT_EQ(count, 15);
    EXPECT_EQ(base1.num_links, 15);
    EXPECT_EQ(AbLinks_base1[10].type, Ap_LINK_DIALOG);
    EXPECT_EQ(AbLinks_base1[10].target, &Aboutbx);
    EXPECT_EQ(AbInternalLinks[ABI_Veredodi].type, Ap_LINK_PICTURE);
    EXPECT_EQ(AbInternalLinks[ABI_Veredodi].target, &Veredodi);
}

TEST_F(SkeletonTest, OtherKeysAndUnlinkedWidgetsFireNothing) {
    firedCallbacks().clear();
    for (const char* key : {"P", "S", "x", "q", " ", "1"}) {
        driver.type(key);
    }
    for (int index : {ABN_PtBlack, ABN_PtScore, ABN_PtSec1, ABN_PtLivellod, ABN_PtSpet}) {
        EXPECT_TRUE(driver.click(AbWidgets[index]));
    }
    // The cover lies over the playing field: a click there reaches the cover's picture.
    driver.clickAt(300, 200);
    EXPECT_TRUE(firedCallbacks().empty()) << firedCallbacks().front();
}

TEST_F(SkeletonTest, ActivateNeedsPressAndReleaseOnTheSameSelectableWidget) {
    firedCallbacks().clear();
    driver.pressAt(30, 454);     // Start
    driver.releaseAt(100, 454);  // Options
    driver.pressAt(100, 454);
    PtSetResource(AbWidgets[ABN_PtOpzioni], Pt_ARG_FLAGS, 0x2000000, 0x2080080);
    driver.releaseAt(100, 454);
    EXPECT_TRUE(firedCallbacks().empty());
}

TEST_F(SkeletonTest, LabelWithoutSelectableFlagIgnoresClicks) {
    firedCallbacks().clear();
    PtSetResource(AbWidgets[ABN_PtGame], Pt_ARG_FLAGS, 0x2000000, 0x2080080);
    EXPECT_TRUE(driver.click(AbWidgets[ABN_PtGame]));
    EXPECT_TRUE(firedCallbacks().empty());
    PtSetResource(AbWidgets[ABN_PtGame], Pt_ARG_FLAGS, 0x2080080, 0x2080080);
    EXPECT_TRUE(driver.click(AbWidgets[ABN_PtGame]));
    EXPECT_EQ(firedCallbacks(), std::vector<std::string>{"clic1"});

    // The frozen gremlin is never selectable: only the live one answers clicks.
    firedCallbacks().clear();
    showAt(ABN_PtG2, 100, 100);
    EXPECT_TRUE(driver.click(AbWidgets[ABN_PtG2]));
    EXPECT_TRUE(firedCallbacks().empty());
}

TEST_F(SkeletonTest, AboutOpensItsDialogOnceAndItsCloseButtonClosesIt) {
    firedCallbacks().clear();
    ASSERT_TRUE(driver.click(AbWidgets[ABN_PtAbout]));
    PtWidget_t* dialog = driver.windowOf("Aboutbx.wgtd");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog, AbWidgets[ABN_Aboutbx]);
    EXPECT_EQ(textOf(dialog, Pt_ARG_WINDOW_TITLE), "About Pelm");
    EXPECT_EQ(driver.outputSize(dialog), (std::pair{329, 469}));
    EXPECT_NE(textOf(AbWidgets[ABN_PtHelp1], Pt_ARG_TEXT_STRING).find("Good Luck!"),
              std::string::npos);

    ASSERT_TRUE(driver.click(AbWidgets[ABN_PtAbout]));
    EXPECT_EQ(driver.windows().size(), 2u) << "a second activation opened a second dialog";
    EXPECT_TRUE(firedCallbacks().empty()) << "About ran game code";

    driver.closeWindow(dialog);
    EXPECT_EQ(driver.windows().size(), 1u);
    for (int index = ABN_Aboutbx; index <= ABN_PtTitl; ++index) {
        EXPECT_EQ(AbWidgets[index], nullptr);
    }
    EXPECT_FALSE(driver.exitStatus());
    ASSERT_TRUE(driver.click(AbWidgets[ABN_PtAbout]));
    EXPECT_NE(driver.windowOf("Aboutbx.wgtd"), nullptr);
}

TEST_F(SkeletonTest, ClosingTheMainWindowEndsTheProgram) {
    driver.closeWindow(mainWindow);
    EXPECT_EQ(driver.exitStatus(), 0);
}

}  // namespace
