#pragma once
// A RunnerShell without a window, for driving command runs from tests: the
// command box and the output box are plain strings, and a test can hook the
// pending-event processing to act in the middle of a run.
#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "owned_text.h"
#include "run_state.h"
#include "runner_shell.h"

// What allocationFailed throws in tests, carrying the size that was asked for.
struct AllocationFailure {
    size_t requestedBytes;
};

class TestShell : public RunnerShell {
public:
    std::string commandText;
    std::string outputText;
    // Every piece appendOutputText received, in order.
    std::vector<std::string> appendedPieces;
    bool gone = false;
    // Writes or appends made after `gone` was set: a run must make none.
    int writesAfterGone = 0;
    int pendingEventCalls = 0;
    // Called at the end of every processPendingEvents.
    std::function<void()> onPendingEvents;

    // Declares the output gone once a run has lasted `limitMs`, so that a run
    // that would never end fails its test instead of hanging it.
    void limitRunTime(DWORD limitMs);
    bool ranOutOfTime() const { return ranOutOfTime_; }

    OwnedText readCommandText() override;
    OwnedText readOutputText() override;
    void writeOutputText(const char* text) override;
    void processPendingEvents() override;
    void appendOutputText(const char* text, size_t length) override;
    bool outputGone() override { return gone; }
    void waitForActivity(HANDLE process, DWORD timeoutMs) override;
    [[noreturn]] void allocationFailed(size_t requestedBytes) override;

private:
    DWORD runStartTick_ = 0;
    DWORD runLimitMs_ = 0;
    bool ranOutOfTime_ = false;
};

// Gives every test a fresh RunState and a shell.
class RunStateTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    RunState& state() { return *currentRunState(); }
    // Runs `command` through runButtonClicked; fails the test when the run
    // takes longer than `limitMs`.
    void run(const std::string& command, DWORD limitMs = 10000);

    TestShell shell;
};

// The child program as the interpreter must name it: a Windows path, quoted.
std::string childProgram();
// A command line that runs the child program with `steps`.
std::string childCommand(const std::string& steps);

// True when every piece but the last ends on a GBK character boundary of the
// stream the pieces make up (a lead byte 0x81-0xFE takes the next byte with
// it); the stream itself may end on a lone lead byte.
bool piecesKeepGbkPairsWhole(const std::vector<std::string>& pieces);

// The number of handles open in this process, found by asking about every
// small handle value.
int countOpenHandles();

// A folder of its own under the temporary folder, removed with what it holds.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

bool fileExists(const std::string& path);
