// The command line that ApInitialize reads.
#include <cstdlib>

#include "photon/qnx.h"
#include "runtime.h"
#include "runtime_fixture.h"

namespace photon_test {
namespace {

class OptionsTest : public RuntimeTest {
  protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        const char* display = std::getenv("DISPLAY");
        savedDisplay = display ? std::optional<std::string>(display) : std::nullopt;
    }
    void TearDown() override {
        if (savedDisplay) {
            setenv("DISPLAY", savedDisplay->c_str(), 1);
        } else {
            unsetenv("DISPLAY");
        }
        RuntimeTest::TearDown();
    }
    std::optional<std::string> savedDisplay;
};

TEST_F(OptionsTest, ValuesAttachedOrSeparatePlaceTheFirstWindow) {
    ASSERT_NE(open({"-x10", "-y", "-20", "-h", "200", "-Sm"}), nullptr);
    const photon::Placement& placement = photon::runtime().placement;
    EXPECT_EQ(placement.x, 10);
    EXPECT_EQ(placement.y, -20);
    EXPECT_EQ(placement.h, 200);
    EXPECT_FALSE(placement.w);
    EXPECT_EQ(placement.state, 'm');
    // Only a height: the width keeps the design's proportions.
    EXPECT_EQ(driver->outputSize(), (std::pair{400, 200}));
}

TEST_F(OptionsTest, ServerNamesTheDisplay) {
    const std::pair<const char*, const char*> cases[] = {
        {"-s4", ":4"}, {"-s//4/dev/photon", ":4"}, {"-s:1", ":1"}, {"-shost:0.0", "host:0.0"}};
    for (auto [option, display] : cases) {
        ASSERT_NE(open({option}), nullptr) << option;
        EXPECT_STREQ(std::getenv("DISPLAY"), display) << option;
        photon::resetRuntime();
    }
}

using OptionsDeathTest = OptionsTest;

TEST_F(OptionsDeathTest, BadOptionsExitWithStatusTwo) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (auto options : {std::vector<std::string>{"-k"},
                         {"-x"},
                         {"-x", "1e3"},
                         {"-S", "q"},
                         {"-h", "-5"},
                         {"--", "more"}}) {
        EXPECT_EXIT(open(options), ::testing::ExitedWithCode(2), "") << options.front();
    }
}

TEST(QnxLibraryTest, ItoaWritesEveryRadix) {
    struct Case {
        int value;
        int radix;
        const char* text;
    };
    const Case cases[] = {
        {0, 10, "0"},
        {-5, 10, "-5"},
        {2147483647, 10, "2147483647"},
        {-2147483647 - 1, 10, "-2147483648"},
        {255, 16, "ff"},
        {5, 2, "101"},
        {-1, 16, "ffffffff"},
        {35, 36, "z"},
        {1234567, 10, "1234567"},
    };
    for (const Case& c : cases) {
        char buffer[40] = "garbage";
        EXPECT_EQ(itoa(c.value, buffer, c.radix), buffer);
        EXPECT_STREQ(buffer, c.text) << c.value << " radix " << c.radix;
    }
}

}  // namespace
}  // namespace photon_test
