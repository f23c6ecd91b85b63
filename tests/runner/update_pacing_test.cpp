#include <gtest/gtest.h>

#include "command_run.h"

namespace {

TEST(UpdatePacing, UpdatesGrowWithTheBoxsFixedCost)
{
    BoxSpeed speed;
    EXPECT_EQ(updateLimitFor(speed), kSmallestUpdate);

    // 100 KB in 100 ms: 1000 bytes per millisecond, no fixed cost yet.
    speed.note(100000, 100000);
    EXPECT_EQ(speed.bytesPerMs(), 1000u);
    EXPECT_EQ(updateLimitFor(speed), 1000u * kUpdateBudgetMs);

    // The box has grown: the same amount now costs 300 ms. The rate stays the
    // best one seen, the rest is fixed cost, and the next update carries as
    // much new text as that cost.
    speed.note(100000, 300000);
    EXPECT_EQ(speed.bytesPerMs(), 1000u);
    EXPECT_EQ(speed.fixedCostMs(), 200u);
    EXPECT_EQ(updateLimitFor(speed), 200000u);

    // Updates too small or too quick to time teach nothing about the rate.
    BoxSpeed untaught;
    untaught.note(kSmallestUpdate - 1, 50000);
    untaught.note(1000000, 100);
    EXPECT_EQ(untaught.bytesPerMs(), 0u);
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

    DWORD wait = kFirstIdleWaitMs;
    for (int i = 0; i < 20; ++i) {
        const DWORD next = nextIdleWait(wait);
        EXPECT_GE(next, wait);
        wait = next;
    }
    EXPECT_EQ(wait, kLongestIdleWaitMs);
}

}  // namespace

namespace {

TEST(UpdatePacing, NextUpdateGrowsByDoublingAtMostAndShrinksAfterALongOne)
{
    BoxSpeed optimistic;
    optimistic.note(kSmallestUpdate, 1000);  // cheap text: 16 bytes per microsecond
    const struct {
        size_t shown;
        ULONGLONG costMs;
        size_t next;
    } cases[] = {
        {kSmallestUpdate, 1, 2 * kSmallestUpdate},      // the model wants far more; doubling only
        {1000, 1, 2 * kSmallestUpdate},                 // a trickle does not shrink the limit
        {400000, 1000, 400000 * kLongestUpdateMs / 1000},  // a long update: smaller in proportion
        {20000, 5000, kSmallestUpdate},                 // never below the smallest update
    };
    for (const auto& c : cases) EXPECT_EQ(nextUpdateLimit(optimistic, c.shown, c.costMs), c.next) << c.shown;
}

}  // namespace
