#include "gui_fixture.h"

namespace {

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
