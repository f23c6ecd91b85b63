// Hostile raw streams through the command run with the window-less shell:
// whatever the child writes arrives whole and in order, less its zero bytes.
#include <gtest/gtest.h>

#include <string>

#include "command_run.h"
#include "resource_figures.h"
#include "streams.h"
#include "test_shell.h"

namespace {

// Where two texts first differ, for a failure message.
std::string firstDifference(const std::string& actual, const std::string& expected)
{
    size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
    return "first difference at byte " + std::to_string(at) + " of " + std::to_string(expected.size()) +
           " expected (" + std::to_string(actual.size()) + " arrived, from there: \"" + actual.substr(at, 80) + "\")";
}

using StreamIntegrity = RunStateTest;

TEST_F(StreamIntegrity, RawStreamsArriveWholeLessTheirZeroBytes)
{
    const int seeds = countFromEnvironment("CMDPANE_INTEGRITY_SEEDS", 40);
    const int firstSeed = countFromEnvironment("CMDPANE_INTEGRITY_FIRST_SEED", 1);
    const size_t maxSize = static_cast<size_t>(countFromEnvironment("CMDPANE_INTEGRITY_MAX", 256 * 1024));
    int failed = 0;
    for (int seed = firstSeed; seed < firstSeed + seeds; ++seed) {
        const std::string steps = "mixed:" + std::to_string(seed) + ":" + std::to_string(maxSize);
        run(childCommand(steps), 120000);
        const std::string expected = withoutZeroBytes(mixedStream(static_cast<uint64_t>(seed), maxSize, StreamKind::Raw));
        if (shell.outputText == expected) continue;
        ++failed;
        ADD_FAILURE() << "seed " << seed << " (" << steps << "): " << firstDifference(shell.outputText, expected)
                      << "; replay with CMDPANE_INTEGRITY_FIRST_SEED=" << seed
                      << " CMDPANE_INTEGRITY_SEEDS=1 CMDPANE_INTEGRITY_MAX=" << maxSize;
    }
    RecordProperty("seeds", seeds);
    RecordProperty("max_bytes", static_cast<int>(maxSize));
    RecordProperty("failed_seeds", failed);
}

}  // namespace
