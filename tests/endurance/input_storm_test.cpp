// A storm of input while a command runs: clicks on the run button, typing
// into both boxes, Tab and Shift+Tab, the window moved from outside and
// dragged by its caption. One run only, its output whole, the window
// answering throughout.
#include <algorithm>
#include <cstdio>
#include <fstream>

#include "endurance_app.h"
#include "pointer_input.h"
#include "streams.h"

namespace {

constexpr DWORD kAnswerLimitMs = 500;
constexpr int kStormClicks = 50;

size_t countOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

class InputStorm : public EnduranceApp {
protected:
    // Asks the window for an answer and notes how long it took.
    void checkAnswer()
    {
        const DWORD asked = GetTickCount();
        const bool answered = windowAnswers(kAnswerLimitMs);
        const DWORD took = GetTickCount() - asked;
        slowestAnswerMs_ = std::max(slowestAnswerMs_, took);
        if (!answered) ++missedAnswers_;
    }

    // Presses and releases as fast as a user hammering the button, without
    // waiting for each click to arrive.
    void clickRapidly(HWND button, int clicks)
    {
        RECT rect;
        GetWindowRect(button, &rect);
        movePointerTo({(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
        for (int i = 0; i < clicks; ++i) {
            pressLeftButton();
            Sleep(20);
            releaseLeftButton();
            Sleep(40);
            if (i % 5 == 0) checkAnswer();
        }
    }

    // Drags the window by its caption; true when it moved. A press that Wine
    // misplaces moves nothing, and the drag is tried again.
    bool dragCaptionBy(int dx, int dy)
    {
        for (int attempt = 0; attempt < 3; ++attempt) {
            RECT before;
            GetWindowRect(mainWindow(), &before);
            const POINT grip = {before.left + 60, before.top + GetSystemMetrics(SM_CYCAPTION) / 2 + 2};
            movePointerTo(grip);
            Sleep(100);
            pressLeftButton();
            Sleep(100);
            for (int step = 1; step <= 5; ++step) {
                movePointerTo({grip.x + dx * step / 5, grip.y + dy * step / 5});
                Sleep(60);
                checkAnswer();
            }
            releaseLeftButton();
            Sleep(100);
            RECT after;
            GetWindowRect(mainWindow(), &after);
            if (after.left == before.left + dx && after.top == before.top + dy) return true;
        }
        return false;
    }

    DWORD slowestAnswerMs_ = 0;
    int missedAnswers_ = 0;
};

TEST_F(InputStorm, DuringARunStartsNoSecondRunLosesNoOutputAndTheWindowAnswers)
{
    ScratchFile tally("cmdpane_storm_tally_");
    ScratchFile stormOver("cmdpane_storm_over_");
    // Output before, during and after the storm; the child waits for the
    // storm to end before it writes its last part.
    std::string steps = "tally:" + tally.path();
    std::string expected;
    for (int part = 1; part <= 4; ++part) {
        steps += " gbk:" + std::to_string(part) + ":60000";
        steps += part == 3 ? " await:" + stormOver.path() : " sleep:700";
        expected += mixedStream(static_cast<uint64_t>(part), 60000, StreamKind::Gbk);
    }
    const std::string command = childCommand(steps);
    ASSERT_TRUE(startRun(command));

    // Into the output box (Shift+Tab from the button the click focused).
    pressKey(VK_TAB, {VK_SHIFT});
    ASSERT_TRUE(waitUntil([&] { return app().focusedControlId() == kOutputBoxId; }, 2000));
    const std::string typedIntoOutput = "abc";
    typeKeys(typedIntoOutput.c_str());
    checkAnswer();
    // On to the command box, then round the Tab cycle both ways.
    pressKey(VK_TAB);
    pressKey(VK_TAB);
    ASSERT_TRUE(waitUntil([&] { return app().focusedControlId() == kCommandBoxId; }, 2000));
    typeKeys("zz9");
    for (int i = 0; i < 3; ++i) {
        pressKey(VK_TAB, {VK_SHIFT});
        checkAnswer();
        pressKey(VK_TAB);
        checkAnswer();
    }
    clickRapidly(runButton(), kStormClicks);
    RECT rect;
    GetWindowRect(mainWindow(), &rect);
    SetWindowPos(mainWindow(), nullptr, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    checkAnswer();
    EXPECT_TRUE(dragCaptionBy(150, 100)) << "the drag did not move the window";
    checkAnswer();
    SetWindowPos(mainWindow(), nullptr, rect.left, rect.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    checkAnswer();
    const bool stormWithinTheRun = findDescendant(app().processId(), "cmdchild.exe") != 0;
    std::ofstream(stormOver.path()).put('x');

    ASSERT_TRUE(waitForNoChildren(60000)) << "the run did not end";
    const size_t expectedSize = typedIntoOutput.size() + expected.size();
    waitUntil([&] { return outputText().size() >= expectedSize; }, 10000);
    const std::string shown = outputText();
    RecordProperty("slowest_answer_ms", static_cast<int>(slowestAnswerMs_));
    std::printf("[ figures  ] slowest answer during the storm: %lu ms\n", static_cast<unsigned long>(slowestAnswerMs_));
    EXPECT_TRUE(stormWithinTheRun) << "the run ended before the storm did; it proves less than it should";
    EXPECT_EQ(missedAnswers_, 0) << "the window did not answer within " << kAnswerLimitMs << " ms";
    EXPECT_EQ(countOf(tally.contents(), "ran"), 1u) << "more than one run";

    // Typed text goes in at the caret, which every append puts back at the
    // start: it ends up in front of the output.
    ASSERT_EQ(shown.size(), expectedSize)
        << firstDifference(shown.substr(std::min(shown.size(), typedIntoOutput.size())), expected) << ": "
        << shown.substr(0, 300);
    std::string typedPart = shown.substr(0, typedIntoOutput.size());
    std::sort(typedPart.begin(), typedPart.end());
    EXPECT_EQ(typedPart, typedIntoOutput);
    EXPECT_TRUE(shown.compare(typedIntoOutput.size(), std::string::npos, expected) == 0)
        << firstDifference(shown.substr(typedIntoOutput.size()), expected);

    const std::string commandShown = windowText(commandBox());
    EXPECT_NE(commandShown.find("zz9"), std::string::npos) << commandShown;
    EXPECT_EQ(commandShown.size(), command.size() + 3);
}

}  // namespace
