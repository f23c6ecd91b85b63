// Hostile streams through the real window: text that a GBK box keeps byte
// for byte (line breaks of every kind, long lines, pairs with a 0x5C trail
// byte) shows exactly as written.
#include <algorithm>
#include <cstdio>

#include "endurance_app.h"
#include "resource_figures.h"
#include "streams.h"

namespace {

using WindowIntegrity = EnduranceApp;

constexpr DWORD kAnswerLimitMs = 500;

TEST_F(WindowIntegrity, GbkStreamsShowByteForByte)
{
    const int seeds = countFromEnvironment("CMDPANE_WINDOW_INTEGRITY_SEEDS", 5);
    const int firstSeed = countFromEnvironment("CMDPANE_INTEGRITY_FIRST_SEED", 1);
    const size_t maxSize = static_cast<size_t>(countFromEnvironment("CMDPANE_INTEGRITY_MAX", 256 * 1024));
    int failed = 0;
    int missedAnswers = 0;
    DWORD slowestAnswerMs = 0;
    size_t shownAtSlowest = 0;
    for (int seed = firstSeed; seed < firstSeed + seeds; ++seed) {
        const std::string steps = "gbk:" + std::to_string(seed) + ":" + std::to_string(maxSize);
        const std::string expected = mixedStream(static_cast<uint64_t>(seed), maxSize, StreamKind::Gbk);
        ASSERT_TRUE(startRun(childCommand(steps))) << "seed " << seed;
        // The window answers while the output pours in.
        ASSERT_TRUE(waitUntil([&] {
            const DWORD asked = GetTickCount();
            if (!windowAnswers(kAnswerLimitMs)) ++missedAnswers;
            const DWORD took = GetTickCount() - asked;
            if (took > slowestAnswerMs) {
                slowestAnswerMs = took;
                shownAtSlowest = outputText().size();
            }
            return waitForNoChildren(0);
        }, 120000)) << "seed " << seed << ": the run did not end";
        waitUntil([&] { return outputText().size() >= expected.size(); }, 10000);
        const std::string shown = outputText();
        if (shown == expected) continue;
        ++failed;
        ADD_FAILURE() << "seed " << seed << " (" << steps << "): " << firstDifference(shown, expected)
                      << "; replay with CMDPANE_INTEGRITY_FIRST_SEED=" << seed
                      << " CMDPANE_WINDOW_INTEGRITY_SEEDS=1 CMDPANE_INTEGRITY_MAX=" << maxSize;
    }
    std::printf("[ figures  ] slowest answer while the output poured in: %lu ms, with %lu bytes shown\n",
                static_cast<unsigned long>(slowestAnswerMs), static_cast<unsigned long>(shownAtSlowest));
    EXPECT_EQ(missedAnswers, 0) << "the window did not answer within " << kAnswerLimitMs << " ms";
    RecordProperty("slowest_answer_ms", static_cast<int>(slowestAnswerMs));
    RecordProperty("seeds", seeds);
    RecordProperty("failed_seeds", failed);
}

}  // namespace
