// An allocation that fails during a run reaches the shell's fatal report with
// the size that was asked for. Built with the runner's allocation hook.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "command_run.h"
#include "run_state.h"
#include "test_shell.h"

namespace {

// Makes allocations of one size fail while it lives.
class FailingAllocationSize {
public:
    explicit FailingAllocationSize(const char* size) { SetEnvironmentVariableA(kName, size); }
    ~FailingAllocationSize() { SetEnvironmentVariableA(kName, nullptr); }
    FailingAllocationSize(const FailingAllocationSize&) = delete;
    FailingAllocationSize& operator=(const FailingAllocationSize&) = delete;

private:
    static constexpr const char* kName = "CMDPANE_FAIL_ALLOCATION";
};

void closeIfOpen(HANDLE& handle)
{
    if (handle && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    handle = nullptr;
}

// The real shell ends the process at an allocation failure; a test closes
// what the run held instead.
void closeWhatTheRunHeld(RunState& state)
{
    if (state.processInfo.hProcess) WaitForSingleObject(state.processInfo.hProcess, 5000);
    closeIfOpen(state.pipeRead);
    closeIfOpen(state.pipeWrite);
    closeIfOpen(state.processInfo.hThread);
    closeIfOpen(state.processInfo.hProcess);
}

using AllocationFailureDuringRun = RunStateTest;

TEST_F(AllocationFailureDuringRun, ReachesTheShellWithTheRequestedSize)
{
    const std::string command = childCommand("outs:hello");
    const struct {
        const char* name;
        size_t size;
    } cases[] = {
        {"chunk buffer", kChunkBufferSize},
        {"command line", std::strlen("cmd.exe /c ") + command.size() + 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        shell.commandText = command;
        shell.outputText.clear();
        size_t reported = 0;
        {
            FailingAllocationSize failing(std::to_string(c.size).c_str());
            try {
                runButtonClicked(shell);
            } catch (const AllocationFailure& failure) {
                reported = failure.requestedBytes;
            }
        }
        EXPECT_EQ(reported, c.size) << "the allocation did not fail";
        EXPECT_EQ(shell.outputText, "");
        EXPECT_FALSE(state().runInProgress);
        closeWhatTheRunHeld(state());
    }
}

TEST_F(AllocationFailureDuringRun, OfTheRunStateReachesTheSink)
{
    releaseRunState();
    const std::string size = std::to_string(sizeof(RunState));
    size_t reported = 0;
    {
        FailingAllocationSize failing(size.c_str());
        try {
            initRunState(shell);
        } catch (const AllocationFailure& failure) {
            reported = failure.requestedBytes;
        }
    }
    EXPECT_EQ(reported, sizeof(RunState));
    EXPECT_EQ(currentRunState(), nullptr);
    initRunState(shell);
}

}  // namespace
