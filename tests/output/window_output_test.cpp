#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "command_run.h"
#include "main_window.h"
#include "run_state.h"
#include "streams.h"
#include "test_shell.h"
#include "window_runner_shell.h"

namespace {

using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// The real window's operations, with a look at the box after every update
// and a hook into the pending-event processing.
class WatchingShell final : public RunnerShell {
public:
    OwnedText readCommandText() override { return real_.readCommandText(); }
    OwnedText readOutputText() override { return real_.readOutputText(); }
    void writeOutputText(const char* text) override { real_.writeOutputText(text); }
    void processPendingEvents() override
    {
        real_.processPendingEvents();
        if (onPendingEvents) onPendingEvents();
    }
    void appendOutputText(const char* text, size_t length) override
    {
        real_.appendOutputText(text, length);
        ++updates;
        const HWND box = mainWindow().outputBox;
        DWORD selectionStart = 1, selectionEnd = 1;
        SendMessageA(box, EM_GETSEL, reinterpret_cast<WPARAM>(&selectionStart),
                     reinterpret_cast<LPARAM>(&selectionEnd));
        if (selectionStart != 0 || selectionEnd != 0) ++caretNotAtStart;
        if (SendMessageA(box, EM_GETFIRSTVISIBLELINE, 0, 0) != 0) ++viewNotAtTop;
    }
    bool outputGone() override { return real_.outputGone(); }
    void waitForActivity(HANDLE process, DWORD timeoutMs) override { real_.waitForActivity(process, timeoutMs); }
    [[noreturn]] void allocationFailed(size_t bytes) override { throw AllocationFailure{bytes}; }

    std::function<void()> onPendingEvents;
    int updates = 0;
    int caretNotAtStart = 0;
    int viewNotAtTop = 0;

private:
    WindowRunnerShell real_;
};

class WindowOutputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        initRunState(shell);
        ASSERT_TRUE(createMainWindow());
        ShowWindow(mainWindow().window, SW_SHOW);
        shell.processPendingEvents();
    }

    void TearDown() override
    {
        if (mainWindow().window) DestroyWindow(mainWindow().window);
        releaseRunState();
    }

    void run(const std::string& command)
    {
        SetWindowTextA(mainWindow().commandBox, command.c_str());
        runButtonClicked(shell);
    }

    std::string boxText() { return shell.readOutputText().c_str(); }

    WatchingShell shell;
};

TEST_F(WindowOutputTest, BoxHoldsTheTypingAndTheWholeStreamInOrder)
{
    // Far more than the pipe holds, in pieces of random size with pauses, so
    // that GBK pairs fall across reads and across updates.
    const uint64_t seed = 7;
    const std::string stream = mixedStream(seed, 1500000, StreamKind::Gbk);
    ASSERT_GT(stream.size(), 500000u);
    const std::string typed = "typed";
    shell.onPendingEvents = [&] {
        if (shell.updates >= 3) {
            // The caret is at the start after every update: the user's keys land there.
            for (char c : typed) PostMessageA(mainWindow().outputBox, WM_CHAR, static_cast<WPARAM>(c), 0);
            shell.onPendingEvents = nullptr;
        }
    };
    run(childCommand("gbk:" + std::to_string(seed) + ":1500000"));

    const std::string text = boxText();
    EXPECT_EQ(text.size(), typed.size() + stream.size());
    EXPECT_TRUE(text == typed + stream) << "the box does not hold the typing followed by the stream";
    EXPECT_EQ(shell.caretNotAtStart, 0);
    EXPECT_EQ(shell.viewNotAtTop, 0);
    EXPECT_GT(shell.updates, 1);
}

TEST_F(WindowOutputTest, TheEndOfARunIsNeverMissed)
{
    const struct {
        const char* steps;
        const char* shown;
    } cases[] = {
        {"outs:last-words", "last-words"},
        {"exit:0", ""},
        {"sleep:200 outs:late exit:4", "late"},
        {"text:70000", nullptr},
    };
    for (int round = 0; round < 3; ++round) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.steps);
            const Clock::time_point started = Clock::now();
            run(childCommand(c.steps));
            EXPECT_LT(msSince(started), 5000);
            if (c.shown) EXPECT_EQ(boxText(), c.shown);
            else EXPECT_EQ(boxText(), textLinesStream(70000));
        }
    }
}

// While the child is silent the run rests; a message sent to the window, a
// click and Esc must still be answered at once.
TEST_F(WindowOutputTest, InputIsAnsweredWhileTheChildIsSilent)
{
    const HWND window = mainWindow().window;
    const HWND button = mainWindow().runButton;
    const HWND outputBox = mainWindow().outputBox;
    std::atomic<long long> nullAnswerMs{-1}, clickAnswerMs{-1};
    std::atomic<bool> escapePosted{false};
    Clock::time_point escapeTime;
    std::thread user([&] {
        Sleep(600);
        Clock::time_point start = Clock::now();
        DWORD_PTR result = 0;
        if (SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &result)) nullAnswerMs = msSince(start);
        Sleep(200);
        start = Clock::now();
        if (SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_NORMAL, 2000, &result)) clickAnswerMs = msSince(start);
        Sleep(200);
        escapeTime = Clock::now();
        escapePosted = true;
        PostMessageA(outputBox, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    const Clock::time_point started = Clock::now();
    run(childCommand("sleep:6000"));
    const long long runMs = msSince(started);
    user.join();

    ASSERT_TRUE(escapePosted.load());
    EXPECT_GE(nullAnswerMs.load(), 0);
    EXPECT_LT(nullAnswerMs.load(), 250);
    EXPECT_GE(clickAnswerMs.load(), 0);
    EXPECT_LT(clickAnswerMs.load(), 250);
    EXPECT_LT(msSince(escapeTime), 1000) << "the run went on after Esc closed the window";
    EXPECT_LT(runMs, 4000);
    EXPECT_EQ(mainWindow().window, nullptr);
}

}  // namespace
