#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app_session.h"
#include "user_input.h"

// "执行" and "dir c:\" in GBK.
constexpr char kRunCaption[] = "\xD6\xB4\xD0\xD0";
constexpr char kDefaultCommand[] = "dir c:\\";

// Long enough for the interpreter and the child to start and write.
constexpr DWORD kRunTimeoutMs = 15000;
// How long a key or click that must change nothing is given to change it.
constexpr DWORD kNothingHappensMs = 1500;

// Starts the program (the one named by `variable`) and waits until its main
// window is shown and active.
class RunningApp : public ::testing::Test {
protected:
    void SetUp() override { start(Program::App); }

    void start(Program program)
    {
        const std::string executable = programPath(program);
        if (executable.empty()) GTEST_SKIP() << "program not built";
        app_ = std::make_unique<AppSession>(executable);
        ASSERT_TRUE(app_->started()) << "cannot start " << executable;
        ASSERT_NE(app_->waitForMainWindow(), nullptr) << "no main window";
        ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == mainWindow(); }, 5000))
            << "the main window is not active after the start";
        waitUntil([&] { return app_->focusedControlId() != 0; }, 2000);
        focusAtStart_ = app_->focusedControlId();
        // Under Wine the first press after a window appears can land where
        // the X server's own pointer rests (it stays where it was, often over
        // the output box). A click into the output box, where the focus
        // already is, takes that press, so it hits nothing else.
        clickCentreOf(outputBox());
    }

    AppSession& app() { return *app_; }
    HWND mainWindow() const { return app_->mainWindow(); }
    HWND outputBox() const { return app_->control(kOutputBoxId); }
    HWND commandBox() const { return app_->control(kCommandBoxId); }
    HWND runButton() const { return app_->control(kRunButtonId); }
    std::string outputText() const { return windowText(outputBox()); }

    // Waits until the output box holds `expected`; for an empty `expected`,
    // gives the program time to write something it should not.
    std::string settledOutput(const std::string& expected, DWORD timeoutMs = kRunTimeoutMs)
    {
        if (expected.empty()) Sleep(kNothingHappensMs);
        else waitUntil([&] { return outputText() == expected; }, timeoutMs);
        return outputText();
    }

    // Moves the focus with Tab from the output box to the control `tabs` steps on.
    void tabFromOutputBox(int tabs)
    {
        for (int i = 0; i < tabs; ++i) pressKey(VK_TAB);
        const int expected[] = {kOutputBoxId, kRunButtonId, kCommandBoxId};
        ASSERT_TRUE(waitUntil([&] { return app().focusedControlId() == expected[tabs % 3]; }, 2000));
    }

    std::unique_ptr<AppSession> app_;
    int focusAtStart_ = 0;
};
