// However the command's child ends, or fails to end, the run ends with the
// interpreter, the window keeps answering and the next run works.
#include <algorithm>

#include "endurance_app.h"

namespace {

using ChildEnds = EnduranceApp;

bool isFloodPrefix(const std::string& output)
{
    return !output.empty() && output.find_first_not_of("f\r\n") == std::string::npos;
}

TEST_F(ChildEnds, RunEndsAndTheNextOneWorksHoweverTheChildEnded)
{
    const struct {
        const char* how;
        std::string command;
        std::string expected;  // empty: the flood's shape is checked instead
        bool killChild;
    } cases[] = {
        {"interpreter exits with 259", "echo x& exit 259", "x\r\n", false},
        {"child exits with 259", childCommand("outs:y exit:259"), "y", false},
        {"child writes to standard error only", childCommand("errs:only-error"), "only-error", false},
        {"child killed from outside mid-output", childCommand("flood:60000"), "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        if (c.killChild) {
            ASSERT_TRUE(startRun(c.command));
            ASSERT_TRUE(waitUntil([&] { return outputText().size() > 4000; }, kRunTimeoutMs));
            const DWORD child = findDescendant(app().processId(), "cmdchild.exe");
            ASSERT_NE(child, 0u) << "the child is not running";
            terminateProcessById(child);
            EXPECT_TRUE(waitForNoChildren(5000)) << "the interpreter outlived its killed child";
            Sleep(500);
            EXPECT_TRUE(isFloodPrefix(outputText())) << outputText().substr(0, 200);
        } else {
            ASSERT_TRUE(runToEnd(c.command));
            EXPECT_EQ(settledOutput(c.expected), c.expected);
        }
        EXPECT_TRUE(windowAnswers());
        expectTheNextRunWorks();
    }
}

TEST_F(ChildEnds, GrandchildHoldingThePipeNeitherDelaysTheRunNorHangsOnItsLateWrite)
{
    ScratchFile beforeLateWrite("cmdpane_before_");
    ScratchFile afterLateWrite("cmdpane_after_");
    const std::string grandchild = "spawn:outs:grandchild sleep:2000 touch:" + beforeLateWrite.path() +
                                   " outs:late touch:" + afterLateWrite.path();
    const DWORD started = GetTickCount();
    ASSERT_TRUE(startRun(childCommand("\"" + grandchild + "\" sleep:300 outs:-child")));
    ASSERT_TRUE(waitUntil([&] { return outputText().find("grandchild") != std::string::npos; }, kRunTimeoutMs));
    const std::vector<ProcessEntry> tree = liveDescendants(app().processId());
    const auto spawned = std::find_if(tree.begin(), tree.end(), [&](const ProcessEntry& p) {
        return p.exeName == "cmdchild.exe" &&
               std::any_of(tree.begin(), tree.end(),
                           [&](const ProcessEntry& q) { return q.id == p.parentId && q.exeName == "cmdchild.exe"; });
    });
    ASSERT_NE(spawned, tree.end()) << "the grandchild is not running";
    const ProcessHandle grandchildProcess(spawned->id, SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE);
    ASSERT_TRUE(grandchildProcess);

    ASSERT_TRUE(waitForNoChildren(kRunTimeoutMs));
    EXPECT_LT(GetTickCount() - started, 2000u) << "the run waited for the grandchild";
    EXPECT_EQ(settledOutput("grandchild-child"), "grandchild-child");
    expectTheNextRunWorks();

    // The grandchild lives on, and its late write fails: it ends with code 3.
    ASSERT_EQ(WaitForSingleObject(grandchildProcess.get(), 10000), WAIT_OBJECT_0) << "the grandchild hangs";
    DWORD exitCode = 0;
    GetExitCodeProcess(grandchildProcess.get(), &exitCode);
    EXPECT_EQ(exitCode, 3u) << "the grandchild's late write did not fail";
    EXPECT_TRUE(beforeLateWrite.exists()) << "the grandchild did not get to its late write";
    EXPECT_FALSE(afterLateWrite.exists()) << "the late write went somewhere";
    EXPECT_EQ(outputText().find("late"), std::string::npos);
}

// The centre of the close box, found by asking the window which points of
// its caption belong to it.
bool findCloseBox(HWND window, POINT& centre)
{
    RECT rect;
    GetWindowRect(window, &rect);
    LONG left = rect.right, right = rect.left, top = rect.bottom, bottom = rect.top;
    for (LONG y = rect.top; y < rect.top + 40; ++y) {
        for (LONG x = rect.right - 60; x < rect.right; ++x) {
            DWORD_PTR hit = HTNOWHERE;
            SendMessageTimeoutA(window, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG, 2000, &hit);
            if (hit != HTCLOSE) continue;
            left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
        }
    }
    centre = {(left + right) / 2, (top + bottom) / 2};
    return left <= right;
}

int countProgramProcesses(const std::string& exeName, DWORD processId)
{
    int found = 0;
    for (const ProcessEntry& process : runningProcesses())
        if (process.id == processId || (process.exeName == exeName && process.parentId == GetCurrentProcessId()))
            ++found;
    return found;
}

TEST_F(ChildEnds, SilentChildThatNeverEndsLetsTheWindowCloseAtOnce)
{
    for (const char* how : {"Esc", "close box", "Alt+F4"}) {
        SCOPED_TRACE(how);
        if (!app_) start(Program::App);
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_TRUE(startRun(childCommand("hang")));
        ASSERT_TRUE(waitUntil([&] { return findDescendant(app().processId(), "cmdchild.exe") != 0; }, 5000));
        const DWORD hangingChild = findDescendant(app().processId(), "cmdchild.exe");
        app().trackDescendants();
        Sleep(300);
        ASSERT_TRUE(windowAnswers());

        const DWORD closedAt = GetTickCount();
        if (std::string(how) == "close box") {
            POINT closeBox;
            ASSERT_TRUE(findCloseBox(mainWindow(), closeBox));
            clickAt(closeBox);
        } else if (std::string(how) == "Alt+F4") {
            pressKey(VK_F4, {VK_MENU});
        } else {
            pressKey(VK_ESCAPE);
        }
        EXPECT_TRUE(app().waitForExit(1000)) << "still running a second later";
        RecordProperty(std::string("exit_ms_") + (how[0] == 'E' ? "esc" : how[0] == 'c' ? "close_box" : "alt_f4"),
                       static_cast<int>(GetTickCount() - closedAt));
        EXPECT_EQ(app().exitCode(), 0u);
        const std::string exeName = app().executable().substr(app().executable().find_last_of('\\') + 1);
        EXPECT_EQ(countProgramProcesses(exeName, app().processId()), 0) << "a process of the program remains";
        EXPECT_TRUE(isRunning(hangingChild)) << "the child was expected to outlive the window";
        terminateProcessById(hangingChild);
        app_.reset();
    }
}

}  // namespace
