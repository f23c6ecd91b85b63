#include <gtest/gtest.h>

#include "command_run.h"

namespace {

// Notes `count` updates of `bytes` that took `milliseconds` each.
void noteUpdates(BoxSpeed& speed, int count, size_t bytes, ULONGLONG milliseconds)
{
    for (int i = 0; i < count; ++i) speed.note(bytes, milliseconds * 1000);
}

TEST(UpdatePacing, UpdatesFillTheirTargetTimeWithNewText)
{
    BoxSpeed speed;
    EXPECT_EQ(updateLimitFor(speed), kSmallestUpdate);

    // 100 KB in 100 ms: 1000 bytes per millisecond, no fixed cost yet.
    speed.note(100000, 100000);
    EXPECT_EQ(speed.bytesPerMs(), 1000u);
    EXPECT_EQ(updateLimitFor(speed), 1000u * kUpdateTargetMs);

    // The box has grown: the same amount now costs 130 ms. The rate stays the
    // best one seen and the rest is fixed cost, once it has been seen a few
    // times running.
    noteUpdates(speed, 4, 100000, 130);
    EXPECT_EQ(speed.bytesPerMs(), 1000u);
    EXPECT_EQ(speed.fixedCostMs(), 30u);
    EXPECT_EQ(updateLimitFor(speed), 1000u * (kUpdateTargetMs - 30));

    // One hiccup of the machine does not make the box look slower.
    speed.note(100000, 400000);
    EXPECT_EQ(speed.fixedCostMs(), 30u);

    // Updates too small or too quick to time teach nothing about the rate.
    BoxSpeed untaught;
    untaught.note(kSmallestUpdate - 1, 50000);
    untaught.note(1000000, 100);
    EXPECT_EQ(untaught.bytesPerMs(), 0u);
}

TEST(UpdatePacing, ABoxOfManyMegabytesStillGetsATwoThirdsShareOfNewText)
{
    const struct {
        ULONGLONG fixedMs;
        ULONGLONG targetMs;
    } targets[] = {{0, kUpdateTargetMs}, {kUpdateTargetMs / 2, kUpdateTargetMs}, {100, 150}, {400, 600}};
    for (const auto& t : targets) EXPECT_EQ(updateTargetMsFor(t.fixedMs), t.targetMs) << t.fixedMs;

    BoxSpeed huge;
    huge.note(100000, 100000);
    noteUpdates(huge, 4, 100000, 300);  // 200 ms of fixed cost per update
    EXPECT_EQ(updateLimitFor(huge), 100000u);
    // An update that took its target time is not made smaller.
    EXPECT_EQ(nextUpdateLimit(huge, 100000, 300), 100000u);
}

TEST(UpdatePacing, LimitsStayInTheirRange)
{
    BoxSpeed slow;
    slow.note(kSmallestUpdate, 10000000);  // 16 KB in 10 s
    EXPECT_EQ(updateLimitFor(slow), kSmallestUpdate);

    BoxSpeed fast;
    fast.note(4000000, 1000);  // 4 MB in 1 ms
    EXPECT_EQ(updateLimitFor(fast), kLargestUpdate);
}

TEST(UpdatePacing, IntervalAndRestingWait)
{
    const struct {
        DWORD costMs;
        DWORD intervalMs;
    } intervals[] = {{0, 25}, {10, 25}, {20, 40}, {39, 78}, {500, 80}};
    for (const auto& c : intervals) EXPECT_EQ(updateIntervalFor(c.costMs), c.intervalMs) << c.costMs;

    const struct {
        DWORD silentForMs;
        DWORD waitMs;
    } waits[] = {{0, kFirstIdleWaitMs}, {3, kFirstIdleWaitMs}, {40, 10}, {100, 25}, {4 * kLongestIdleWaitMs, kLongestIdleWaitMs},
                 {600000, kLongestIdleWaitMs}};
    for (const auto& w : waits) EXPECT_EQ(idleWaitFor(w.silentForMs), w.waitMs) << w.silentForMs;
}

TEST(UpdatePacing, NextUpdateGrowsByDoublingAtMostAndShrinksAfterALongOne)
{
    BoxSpeed optimistic;
    optimistic.note(kSmallestUpdate, 1000);  // cheap text: 16 bytes per microsecond
    const struct {
        size_t shown;
        ULONGLONG costMs;
        size_t next;
    } cases[] = {
        {kSmallestUpdate, 1, 2 * kSmallestUpdate},  // the model wants far more; doubling only
        {1000, 1, 2 * kSmallestUpdate},             // a trickle does not shrink the limit
        {400000, 1000, 400000 * kUpdateTargetMs / 1000},  // past its target: smaller in proportion
        {20000, 5000, kSmallestUpdate},             // never below the smallest update
    };
    for (const auto& c : cases) EXPECT_EQ(nextUpdateLimit(optimistic, c.shown, c.costMs), c.next) << c.shown;
}

}  // namespace
