#include <algorithm>

#include "gui_fixture.h"

namespace {

constexpr DWORD kFatalExitCode = 0xFFFFFFFF;
// "Promptly" for closing and exiting.
constexpr DWORD kPromptMs = 3000;

// The centre of the main window's close box, found by asking the window
// which points of its caption are the close box.
bool findCloseBox(HWND window, POINT& centre)
{
    RECT rect;
    GetWindowRect(window, &rect);
    RECT box = {rect.right, rect.bottom, rect.left, rect.top};
    for (LONG y = rect.top; y < rect.top + 40; ++y) {
        for (LONG x = rect.right - 60; x < rect.right; ++x) {
            DWORD_PTR hit = HTNOWHERE;
            SendMessageTimeoutA(window, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG, 2000, &hit);
            if (hit != HTCLOSE) continue;
            box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x), std::max(box.bottom, y)};
        }
    }
    centre = {(box.left + box.right) / 2, (box.top + box.bottom) / 2};
    return box.left <= box.right;
}

using Closing = RunningApp;

TEST_F(Closing, WithoutARunEndsTheProgramWithExitCodeZero)
{
    const struct {
        const char* how;
        int focusTabs;
    } cases[] = {
        {"close box", 0},
        {"Alt+F4", 0},
        {"Esc in the output box", 0},
        {"Esc on the run button", 1},
        {"Esc in the command box", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        if (!app_) start(Program::App);
        ASSERT_FALSE(HasFatalFailure());
        tabFromOutputBox(c.focusTabs);
        const std::string how = c.how;
        if (how == "close box") {
            POINT closeBox;
            ASSERT_TRUE(findCloseBox(mainWindow(), closeBox));
            // Wine may put a press somewhere else; a click that closed nothing is given again.
            for (int attempt = 0; attempt < 3 && !app().hasExited(); ++attempt) {
                clickAt(closeBox);
                if (app().waitForExit(kPromptMs)) break;
            }
        } else if (how == "Alt+F4") {
            pressKey(VK_F4, {VK_MENU});
        } else {
            pressKey(VK_ESCAPE);
        }
        EXPECT_TRUE(app().waitForExit(kPromptMs));
        EXPECT_FALSE(IsWindow(mainWindow()));
        EXPECT_EQ(app().exitCode(), 0u);
        app_.reset();
    }
}

TEST_F(Closing, EscDuringARunRemovesTheWindowAndEndsTheProgram)
{
    ASSERT_TRUE(setWindowText(commandBox(), childCommand("outs:GO hang")));
    clickCentreOf(runButton());
    ASSERT_TRUE(waitUntil([&] { return outputText() == "GO"; }, kRunTimeoutMs)) << outputText();
    app().trackDescendants();

    const DWORD pressed = GetTickCount();
    pressKey(VK_ESCAPE);
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(mainWindow()); }, kPromptMs));
    EXPECT_TRUE(app().waitForExit(kPromptMs)) << "still running with a hanging child";
    EXPECT_EQ(app().exitCode(), 0u);
    RecordProperty("close_ms", static_cast<int>(GetTickCount() - pressed));
}

TEST_F(Closing, DuringFloodingOutputLeavesNoChildBlockedOnThePipe)
{
    // The child writes for a minute unless a write fails, which ends it.
    ASSERT_TRUE(setWindowText(commandBox(), childCommand("flood:60000")));
    clickCentreOf(runButton());
    ASSERT_TRUE(waitUntil([&] { return !outputText().empty(); }, kRunTimeoutMs));
    app().trackDescendants();
    ASSERT_GT(app().runningDescendants(), 0);

    pressKey(VK_ESCAPE);
    EXPECT_TRUE(app().waitForExit(kPromptMs));
    EXPECT_EQ(app().exitCode(), 0u);
    EXPECT_TRUE(waitUntil([&] { return app().runningDescendants() == 0; }, 10000))
        << app().runningDescendants() << " of the command's processes still running";
}

class FatalError : public RunningApp {
protected:
    void SetUp() override {}
};

TEST_F(FatalError, WindowCreationFailureShowsTheBoxAndExitsWithMinusOne)
{
    const std::string executable = programPath(Program::HooksApp);
    if (executable.empty()) GTEST_SKIP() << "program not built";
    ScopedEnvironment failWindow("CMDPANE_FAIL_WINDOW", "1");
    app_ = std::make_unique<AppSession>(executable);
    ASSERT_TRUE(app().started());

    const HWND box = app().waitForMessageBox();
    ASSERT_NE(box, nullptr) << "no error box; exit code " << app().exitCode();
    RecordProperty("message", messageBoxText(box));
    EXPECT_FALSE(messageBoxText(box).empty());
    EXPECT_EQ(app().findTopLevel(kMainWindowClass), nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
    EXPECT_FALSE(app().hasExited());

    ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == box; }, 2000)) << "error box not active";
    pressKey(VK_RETURN);
    EXPECT_TRUE(app().waitForExit(kPromptMs));
    EXPECT_EQ(app().exitCode(), kFatalExitCode);
}

TEST_F(FatalError, AllocationFailureNamesTheSizeAndBlocksFurtherClicks)
{
    ScopedEnvironment failAllocation("CMDPANE_FAIL_ALLOCATION", "1024");
    start(Program::HooksApp);
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_TRUE(setWindowText(commandBox(), childCommand("outs:HELLO")));
    clickCentreOf(runButton());

    const HWND box = app().waitForMessageBox();
    ASSERT_NE(box, nullptr) << "no error box; exit code " << app().exitCode();
    RecordProperty("message", messageBoxText(box));
    EXPECT_NE(messageBoxText(box).find("1024"), std::string::npos) << messageBoxText(box);
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);

    // Keep the box off the button, then click the button while the box is up.
    SetWindowPos(box, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_TRUE(setWindowText(outputBox(), "untouched"));
    clickCentreOf(runButton());
    Sleep(kNothingHappensMs);
    EXPECT_EQ(outputText(), "untouched");
    EXPECT_EQ(app().countMessageBoxes(), 1);
    EXPECT_FALSE(app().hasExited());

    SendMessageTimeoutA(box, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
    EXPECT_TRUE(app().waitForExit(kPromptMs));
    EXPECT_EQ(app().exitCode(), kFatalExitCode);
}

}  // namespace
