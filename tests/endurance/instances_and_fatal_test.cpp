// Two instances side by side, and the fatal paths' messages and what they
// leave behind.
#include <memory>

#include "endurance_app.h"

namespace {

using TwoInstances = EnduranceApp;

TEST_F(TwoInstances, StartedOneAfterTheOtherBothRunWithoutNoticingEachOther)
{
    AppSession second(programPath(Program::App));
    ASSERT_TRUE(second.started());
    const HWND secondWindow = second.waitForMainWindow();
    ASSERT_NE(secondWindow, nullptr) << "the second instance shows no window";
    // Side by side: both start centred, one over the other.
    SetWindowPos(secondWindow, nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const HWND secondOutput = second.control(kOutputBoxId);

    ASSERT_TRUE(setWindowText(commandBox(), childCommand("outs:first sleep:2000 outs:-end")));
    ASSERT_TRUE(setWindowText(second.control(kCommandBoxId), childCommand("outs:second")));
    clickCentreOf(runButton());
    ASSERT_TRUE(waitUntil([&] { return outputText() == "first"; }, kRunTimeoutMs)) << outputText();
    clickCentreOf(second.control(kRunButtonId));
    EXPECT_TRUE(waitUntil([&] { return windowText(secondOutput) == "second"; }, kRunTimeoutMs))
        << "the second instance did not run while the first one did: " << windowText(secondOutput);
    EXPECT_EQ(outputText(), "first") << "the first run was disturbed";

    EXPECT_EQ(settledOutput("first-end"), "first-end");
    EXPECT_EQ(windowText(secondOutput), "second");
    for (AppSession* instance : {&app(), &second}) {
        SendMessageTimeoutA(instance->mainWindow(), WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
        EXPECT_TRUE(instance->waitForExit(3000));
        EXPECT_EQ(instance->exitCode(), 0u);
    }
}

constexpr DWORD kFatalExitCode = 0xFFFFFFFF;
// "窗口" (window) in GBK.
constexpr char kWindowWord[] = "\xB4\xB0\xBF\xDA";

class FatalPath : public EnduranceApp {
protected:
    void SetUp() override {}

    void dismiss(HWND box)
    {
        SendMessageTimeoutA(box, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
        EXPECT_TRUE(app().waitForExit(3000));
        EXPECT_EQ(app().exitCode(), kFatalExitCode);
    }
};

TEST_F(FatalPath, WindowCreationFailureNamesTheWindow)
{
    const std::string executable = programPath(Program::HooksApp);
    if (executable.empty()) GTEST_SKIP() << "program not built";
    ScopedEnvironment failWindow("CMDPANE_FAIL_WINDOW", "1");
    app_ = std::make_unique<AppSession>(executable);
    ASSERT_TRUE(app().started());
    const HWND box = app().waitForMessageBox();
    ASSERT_NE(box, nullptr) << "no error box; exit code " << app().exitCode();
    EXPECT_NE(messageBoxText(box).find(kWindowWord), std::string::npos) << messageBoxText(box);
    dismiss(box);
}

// An allocation failure in the middle of a run: the box names the size, and
// once the program has ended the child it left is not stuck on a full pipe.
TEST_F(FatalPath, AllocationFailureDuringARunNamesTheSizeAndLeavesNoChildStuck)
{
    const std::string flood = childCommand("flood:60000");
    const struct {
        const char* what;
        std::string command;
        size_t failingSize;
        bool childStarts;
    } cases[] = {
        {"chunk buffer", flood, 1024, true},
        {"command line", flood + " ", std::string("cmd.exe /c ").size() + flood.size() + 2, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScopedEnvironment failAllocation("CMDPANE_FAIL_ALLOCATION", std::to_string(c.failingSize).c_str());
        start(Program::HooksApp);
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(setWindowText(commandBox(), c.command));
        clickCentreOf(runButton());
        const HWND box = app().waitForMessageBox();
        ASSERT_NE(box, nullptr) << "no error box; exit code " << app().exitCode();
        EXPECT_NE(messageBoxText(box).find(std::to_string(c.failingSize)), std::string::npos) << messageBoxText(box);

        const DWORD child = findDescendant(app().processId(), "cmdchild.exe");
        EXPECT_EQ(child != 0, c.childStarts);
        const ProcessHandle childProcess(child, SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE);
        app().trackDescendants();
        dismiss(box);
        if (childProcess) {
            EXPECT_EQ(WaitForSingleObject(childProcess.get(), 10000), WAIT_OBJECT_0)
                << "the child still runs after the program has ended";
            DWORD exitCode = 0;
            GetExitCodeProcess(childProcess.get(), &exitCode);
            EXPECT_EQ(exitCode, 3u) << "the child did not end on a failed write";
        }
        app_.reset();
    }
}

}  // namespace
