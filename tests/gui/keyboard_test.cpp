#include <atomic>
#include <thread>

#include "gui_fixture.h"

namespace {

// A window of the test's own in the screen's top-left corner, clear of the
// main window: somewhere to switch to, as the user would to another program.
class OtherProgramWindow {
public:
    OtherProgramWindow() : thread_([this] { run(); })
    {
        waitUntil([&] { return window_.load() != nullptr; }, 5000);
    }
    ~OtherProgramWindow()
    {
        PostThreadMessageA(threadId_.load(), WM_QUIT, 0, 0);
        thread_.join();
    }
    OtherProgramWindow(const OtherProgramWindow&) = delete;
    OtherProgramWindow& operator=(const OtherProgramWindow&) = delete;

    HWND window() const { return window_.load(); }

private:
    void run()
    {
        WNDCLASSA windowClass;
        ZeroMemory(&windowClass, sizeof windowClass);
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        windowClass.lpszClassName = "GuiTestOtherProgram";
        RegisterClassA(&windowClass);
        const HWND window = CreateWindowExA(0, windowClass.lpszClassName, "other", WS_OVERLAPPEDWINDOW,
                                            0, 0, 240, 160, nullptr, nullptr, windowClass.hInstance, nullptr);
        ShowWindow(window, SW_SHOWNOACTIVATE);
        threadId_ = GetCurrentThreadId();
        window_ = window;
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
        DestroyWindow(window);
    }

    std::atomic<HWND> window_{nullptr};
    std::atomic<DWORD> threadId_{0};
    std::thread thread_;
};

// A screen point on the main window's caption, away from its buttons.
POINT captionPoint(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    const LONG x = (rect.left + rect.right) / 2;
    for (LONG y = rect.top; y < rect.top + 40; ++y) {
        DWORD_PTR hit = HTNOWHERE;
        SendMessageTimeoutA(window, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG, 2000, &hit);
        if (hit == HTCAPTION) return {x, y + 3};
    }
    return {x, rect.top + 10};
}

using Keyboard = RunningApp;

TEST_F(Keyboard, TabAndShiftTabCycleTheFocusThroughTheThreeControls)
{
    ASSERT_TRUE(waitUntil([&] { return app().focusedControlId() == kOutputBoxId; }, 2000));
    const struct {
        const char* keys;
        bool shift;
        bool control;
        int focusAfter;
    } steps[] = {
        {"Tab", false, false, kRunButtonId},
        {"Tab", false, false, kCommandBoxId},
        {"Tab", false, false, kOutputBoxId},
        {"Shift+Tab", true, false, kCommandBoxId},
        {"Shift+Tab", true, false, kRunButtonId},
        {"Shift+Tab", true, false, kOutputBoxId},
        {"Ctrl+Tab", false, true, kOutputBoxId},
    };
    int step = 0;
    for (const auto& s : steps) {
        SCOPED_TRACE(::testing::Message() << "step " << ++step << ": " << s.keys);
        if (s.shift) pressKey(VK_TAB, {VK_SHIFT});
        else if (s.control) pressKey(VK_TAB, {VK_CONTROL});
        else pressKey(VK_TAB);
        waitUntil([&] { return app().focusedControlId() == s.focusAfter; }, 2000);
        if (s.control) Sleep(300);
        ASSERT_EQ(app().focusedControlId(), s.focusAfter);
    }
}

TEST_F(Keyboard, SwitchingAwayAndBackKeepsTheFocusedControl)
{
    OtherProgramWindow other;
    ASSERT_NE(other.window(), nullptr);
    ASSERT_EQ(GetForegroundWindow(), mainWindow());
    for (const int control : {kRunButtonId, kCommandBoxId}) {
        SCOPED_TRACE(control);
        for (int i = 0; i < 3 && app().focusedControlId() != control; ++i) {
            pressKey(VK_TAB);
            waitUntil([&] { return app().focusedControlId() == control; }, 1000);
        }
        ASSERT_EQ(app().focusedControlId(), control);

        // Away as another program takes the foreground; back with a click on
        // the main window's caption, as the user would.
        SetForegroundWindow(other.window());
        ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == other.window(); }, 2000));
        clickAt(captionPoint(mainWindow()));
        ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == mainWindow(); }, 2000));
        EXPECT_TRUE(waitUntil([&] { return app().focusedControlId() == control; }, 2000))
            << "focus on control " << app().focusedControlId();
    }
}

TEST_F(Keyboard, OnlyTheSpaceBarOnTheRunButtonRunsTheCommand)
{
    const struct {
        const char* name;
        int tabs;
        WORD key;
        const char* output;
    } cases[] = {
        {"Enter in the command box", 2, VK_RETURN, ""},
        {"Enter on the run button", 1, VK_RETURN, ""},
        {"Enter in the output box", 0, VK_RETURN, "\r\n"},
        {"Space on the run button", 1, VK_SPACE, "RAN"},
    };
    ASSERT_TRUE(setWindowText(commandBox(), childCommand("outs:RAN")));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(setWindowText(outputBox(), ""));
        ASSERT_TRUE(waitUntil([&] { return app().focusedControlId() == kOutputBoxId; }, 2000));
        tabFromOutputBox(c.tabs);
        pressKey(c.key);
        EXPECT_EQ(settledOutput(c.output), c.output);
        // Back to the output box for the next case.
        for (int i = c.tabs; i % 3 != 0; ++i) pressKey(VK_TAB);
    }
}

}  // namespace
