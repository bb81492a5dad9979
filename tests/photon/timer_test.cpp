// Timer semantics on the virtual clock: the initial time arms, the repeat time sets the
// interval of the firings that follow.
#include <time.h>

#include <cerrno>

#include "photon/qnx.h"
#include "runtime_fixture.h"

namespace photon_test {
namespace {

class TimerTest : public RuntimeTest {
  protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        ASSERT_NE(open(), nullptr);
        events().clear();
        start = driver->clock().nowMs();
    }
    std::string at(uint64_t offset) const { return "Tick:41002@" + std::to_string(start + offset); }
    void set(long resource, long value) { PtSetResource(widget(kTimer), resource, value, 0); }

    uint64_t start = 0;
};

TEST_F(TimerTest, StoredInitialTimeKeepsItQuiet) {
    driver->advance(24 * 3600 * 1000);
    EXPECT_TRUE(events().empty());
}

TEST_F(TimerTest, InitialTimeArmsAndRepeatTimeSetsTheFollowingInterval) {
    set(Pt_ARG_TIMER_REPEAT, 30);
    set(Pt_ARG_TIMER_INITIAL, 100);
    driver->advance(99);
    EXPECT_TRUE(events().empty());
    driver->advance(61);
    EXPECT_EQ(events(), (std::vector<std::string>{at(100), at(130), at(160)}));
}

TEST_F(TimerTest, RepeatTimeBeforeTheFirstFiringLeavesTheFirstFiringInPlace) {
    set(Pt_ARG_TIMER_INITIAL, 100);
    set(Pt_ARG_TIMER_REPEAT, 30);
    driver->advance(50);
    set(Pt_ARG_TIMER_REPEAT, 2130000000);
    driver->advance(10000);
    EXPECT_EQ(events(), std::vector<std::string>{at(100)});
}

TEST_F(TimerTest, LongRepeatStopsTheTicksAndAShortOneRestartsThemFromTheLastFiring) {
    set(Pt_ARG_TIMER_INITIAL, 100);
    set(Pt_ARG_TIMER_REPEAT, 40);
    driver->advance(110);  // fired at 100, next due at 140
    set(Pt_ARG_TIMER_REPEAT, 2130000000);
    driver->advance(5000);
    EXPECT_EQ(events(), std::vector<std::string>{at(100)});
    // Long past the last firing plus the interval: the next one comes at once, then regularly.
    set(Pt_ARG_TIMER_REPEAT, 40);
    driver->advance(0);
    driver->advance(40);
    EXPECT_EQ(events(), (std::vector<std::string>{at(100), at(5110), at(5150)}));
    // A shorter interval set soon after a firing counts from that firing, not from now.
    driver->advance(5);
    set(Pt_ARG_TIMER_REPEAT, 10);
    driver->advance(5);
    EXPECT_EQ(events().back(), at(5160));
}

TEST_F(TimerTest, InitialTimeZeroDisarms) {
    set(Pt_ARG_TIMER_INITIAL, 100);
    set(Pt_ARG_TIMER_INITIAL, 0);
    driver->advance(1000);
    EXPECT_TRUE(events().empty());
}

TEST_F(TimerTest, DelayMovesTheClockAndTheRealTimeReading) {
    timespec before{};
    ASSERT_EQ(clock_gettime(CLOCK_REALTIME, &before), 0);
    timespec monotonicBefore{};
    clock_gettime(CLOCK_MONOTONIC, &monotonicBefore);
    delay(20000);
    timespec after{};
    ASSERT_EQ(clock_gettime(CLOCK_REALTIME, &after), 0);
    EXPECT_EQ(after.tv_sec - before.tv_sec, 20);
    EXPECT_EQ(after.tv_nsec, before.tv_nsec);
    EXPECT_EQ(driver->clock().nowMs(), start + 20000);
    // The kernel's other clocks are left alone: no 20 s passed for them.
    timespec monotonicAfter{};
    clock_gettime(CLOCK_MONOTONIC, &monotonicAfter);
    EXPECT_LT(monotonicAfter.tv_sec - monotonicBefore.tv_sec, 10);
}

TEST_F(TimerTest, RealTimeReadingCanBeMadeToFail) {
    driver->clock().failRealtime(EINVAL);
    timespec reading{};
    errno = 0;
    EXPECT_EQ(clock_gettime(CLOCK_REALTIME, &reading), -1);
    EXPECT_EQ(errno, EINVAL);
    driver->clock().failRealtime(0);
    EXPECT_EQ(clock_gettime(CLOCK_REALTIME, &reading), 0);
}

}  // namespace
}  // namespace photon_test
