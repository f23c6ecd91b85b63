// Many runs in a row through the real main window, created inside the test
// process so that its handles, GDI objects and memory can be counted: after
// the runs they are back where they were after the first few.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "main_window.h"
#include "pointer_input.h"
#include "process_tree.h"
#include "program_shell.h"
#include "resource_figures.h"
#include "run_state.h"
#include "streams.h"
#include "window_runner_shell.h"

namespace {

// "无法启动命令：" in GBK.
const std::string kStartFailureLeadIn = "\xCE\xDE\xB7\xA8\xC6\xF4\xB6\xAF\xC3\xFC\xC1\xEE\xA3\xBA";
// What the output box holds before a run empties it.
constexpr char kBeforeTheRun[] = "<before the run>";
constexpr DWORD kRunLimitMs = 60000;

std::string childCommand(const std::string& steps)
{
    std::string path = "Z:" CMDPANE_CHILD_PATH;
    std::replace(path.begin(), path.end(), '/', '\\');
    return "\"" + path + "\" " + steps;
}

std::string lowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string textOf(HWND window)
{
    const int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(window, &text[0], length + 1)));
    return text;
}

// Dispatches this thread's messages, the way the program's own loop does,
// until `done` holds or `timeoutMs` passes.
bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        processPendingEvents();
        if (done()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

void pumpFor(DWORD ms)
{
    pumpUntil([] { return false; }, ms);
}

// A real mouse click on a window of this thread, whose messages only arrive
// while this thread dispatches them.
bool clickInThisThread(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    const POINT centre = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    movePointerTo(centre);
    // A press can be lost while the pointer settles; it is tried again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        pressLeftButton();
        const bool pressed = pumpUntil([&] { return GetCapture() == window; }, 1000);
        releaseLeftButton();
        if (pressed) return true;
        pumpFor(100);
    }
    return false;
}

// Ends the child program of the running command from another thread, a
// while after it has started, as a user with a task manager would.
class ChildKiller {
public:
    explicit ChildKiller(DWORD afterMs)
        : afterMs_(afterMs), stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          thread_(CreateThread(nullptr, 0, &ChildKiller::main, this, 0, nullptr))
    {
    }
    ~ChildKiller()
    {
        SetEvent(stop_);
        WaitForSingleObject(thread_, 10000);
        CloseHandle(thread_);
        CloseHandle(stop_);
    }
    ChildKiller(const ChildKiller&) = delete;
    ChildKiller& operator=(const ChildKiller&) = delete;

    bool killed() const { return InterlockedCompareExchange(&killed_, 0, 0) != 0; }

private:
    static DWORD WINAPI main(void* self)
    {
        static_cast<ChildKiller*>(self)->killWhenSeen();
        return 0;
    }

    void killWhenSeen()
    {
        DWORD child = 0;
        for (int polls = 0; polls < 1000 && !child; ++polls) {
            if (WaitForSingleObject(stop_, 20) == WAIT_OBJECT_0) return;
            child = findDescendant(GetCurrentProcessId(), "cmdchild.exe");
        }
        if (!child || WaitForSingleObject(stop_, afterMs_) == WAIT_OBJECT_0) return;
        terminateProcessById(child);
        InterlockedExchange(&killed_, 1);
    }

    DWORD afterMs_;
    HANDLE stop_;
    HANDLE thread_;
    mutable volatile LONG killed_ = 0;
};

class InProcessWindow : public testing::Test {
protected:
    void SetUp() override
    {
        initRunState(shell_);
        ASSERT_TRUE(createMainWindow());
        ShowWindow(mainWindow().window, SW_SHOW);
        SetForegroundWindow(mainWindow().window);
        ASSERT_TRUE(pumpUntil([] { return GetForegroundWindow() == mainWindow().window; }, 5000))
            << "the window is not active";
    }

    void TearDown() override
    {
        if (mainWindow().window) DestroyWindow(mainWindow().window);
        pumpFor(50);
        releaseRunState();
    }

    // Runs `command` with a real click on the run button; true when a run
    // took place (it returns inside the dispatch of the click).
    bool runByClick(const std::string& command)
    {
        const MainWindow& w = mainWindow();
        SetWindowTextA(w.commandBox, command.c_str());
        SetWindowTextA(w.outputBox, kBeforeTheRun);
        if (!clickInThisThread(w.runButton)) return false;
        return pumpUntil([&] { return textOf(mainWindow().outputBox) != kBeforeTheRun; }, kRunLimitMs);
    }

    std::string output() const { return textOf(mainWindow().outputBox); }

    WindowRunnerShell shell_;
};

using Check = std::function<testing::AssertionResult(const std::string& output)>;

testing::AssertionResult holdsText(const std::string& output, const std::string& part)
{
    if (lowerCase(output).find(part) != std::string::npos) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "no \"" << part << "\" in " << output.size() << " bytes: "
                                       << output.substr(0, 200);
}

testing::AssertionResult isFloodPrefix(const std::string& output)
{
    if (output.empty()) return testing::AssertionFailure() << "nothing arrived before the kill";
    if (output.find_first_not_of("f\r\n") != std::string::npos)
        return testing::AssertionFailure() << "foreign bytes in the flood: " << output.substr(0, 200);
    return testing::AssertionSuccess();
}

struct SoakCommand {
    const char* what;
    std::string command;
    Check check;
    DWORD killChildAfterMs;  // 0: the child ends by itself
};

std::vector<SoakCommand> soakCommands()
{
    const std::string largeText = textLinesStream(200000);
    return {
        {"listing", "dir c:\\", [](const std::string& out) { return holdsText(out, "windows"); }, 0},
        {"silent", "cd .",
         [](const std::string& out) {
             return out.empty() ? testing::AssertionSuccess() : testing::AssertionFailure() << out;
         },
         0},
        {"standard error", "dir c:\\no-such-folder-here",
         [](const std::string& out) {
             return out.empty() ? testing::AssertionFailure() << "no message" : testing::AssertionSuccess();
         },
         0},
        {"failed start", std::string(40000, 'x'),
         [](const std::string& out) {
             if (out.compare(0, kStartFailureLeadIn.size(), kStartFailureLeadIn) == 0)
                 return testing::AssertionSuccess();
             return testing::AssertionFailure() << out.substr(0, 200);
         },
         0},
        {"large output", childCommand("text:200000"),
         [largeText](const std::string& out) {
             if (out == largeText) return testing::AssertionSuccess();
             return testing::AssertionFailure() << out.size() << " bytes, not the " << largeText.size()
                                                << " written: " << out.substr(0, 200);
         },
         0},
        {"child killed mid-output", childCommand("flood:30000"), isFloodPrefix, 400},
    };
}

void report(const char* when, const ResourceFigures& figures)
{
    std::printf("[ figures  ] %s: %s\n", when, describe(figures).c_str());
    std::fflush(stdout);
}

ResourceFigures settledFigures()
{
    pumpFor(300);
    return measureResources();
}

TEST_F(InProcessWindow, ManyRunsLeakNoHandlesGdiObjectsOrMemory)
{
    const int runs = countFromEnvironment("CMDPANE_SOAK_RUNS", 60);
    constexpr int kWarmUpRuns = 10;
    const std::vector<SoakCommand> commands = soakCommands();
    const ResourceFigures atStart = settledFigures();
    report("before the first run", atStart);
    ResourceFigures afterWarmUp;

    for (int run = 0; run < runs; ++run) {
        const SoakCommand& c = commands[run % commands.size()];
        SCOPED_TRACE(std::string("run ") + std::to_string(run + 1) + ": " + c.what);
        std::unique_ptr<ChildKiller> killer;
        if (c.killChildAfterMs) killer = std::make_unique<ChildKiller>(c.killChildAfterMs);
        const DWORD started = GetTickCount();
        ASSERT_TRUE(runByClick(c.command)) << "the click started no run";
        EXPECT_LT(GetTickCount() - started, kRunLimitMs);
        if (killer) {
            EXPECT_TRUE(killer->killed()) << "the run ended before the child could be killed";
        }
        killer.reset();
        EXPECT_TRUE(c.check(output()));
        EXPECT_FALSE(currentRunState()->runInProgress);
        if (run + 1 == kWarmUpRuns) {
            afterWarmUp = settledFigures();
            report("after the first 10 runs", afterWarmUp);
        }
    }
    if (runs <= kWarmUpRuns) return;

    const ResourceFigures atEnd = settledFigures();
    report(("after " + std::to_string(runs) + " runs").c_str(), atEnd);
    RecordProperty("runs", runs);
    RecordProperty("handles_after_warm_up", afterWarmUp.handles);
    RecordProperty("handles_at_end", atEnd.handles);
    RecordProperty("gdi_after_warm_up", afterWarmUp.gdiObjects);
    RecordProperty("gdi_at_end", atEnd.gdiObjects);
    RecordProperty("working_set_kb_after_warm_up", static_cast<int>(afterWarmUp.workingSetKb));
    RecordProperty("working_set_kb_at_end", static_cast<int>(atEnd.workingSetKb));
    EXPECT_LE(atEnd.handles, afterWarmUp.handles + 2);
    EXPECT_LE(atEnd.gdiObjects, afterWarmUp.gdiObjects + 2);
    EXPECT_LE(atEnd.workingSetKb, afterWarmUp.workingSetKb + 4096);
}

// The GDI count above is only worth something if it sees a leak: these
// objects are made and kept on purpose.
TEST(GdiObjectCount, SeesFontsAndBrushesLeftUndeleted)
{
    const int before = countGdiObjects();
    ASSERT_GT(before, 0) << "no GDI object found at all: the count does not work here";
    std::vector<HGDIOBJ> leaked;
    for (int i = 0; i < 5; ++i) {
        LOGFONTA font{};
        font.lfHeight = -12 - i;
        leaked.push_back(CreateFontIndirectA(&font));
        leaked.push_back(CreateSolidBrush(RGB(i, 0, 0)));
    }
    EXPECT_EQ(countGdiObjects(), before + 10);
    for (HGDIOBJ object : leaked) DeleteObject(object);
    EXPECT_EQ(countGdiObjects(), before);
}

TEST(LiveHandleCount, SeesHandlesLeftOpen)
{
    const int before = countLiveHandles();
    ASSERT_GT(before, 0);
    const HANDLE events[3] = {CreateEventA(nullptr, FALSE, FALSE, nullptr), CreateEventA(nullptr, FALSE, FALSE, nullptr),
                              CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    EXPECT_EQ(countLiveHandles(), before + 3);
    for (HANDLE event : events) CloseHandle(event);
    EXPECT_EQ(countLiveHandles(), before);
}

// The window's font and brush are made with the window and deleted with it.
TEST(MainWindowObjects, FontAndBrushGoWithTheWindow)
{
    WindowRunnerShell shell;
    initRunState(shell);
    ASSERT_TRUE(createMainWindow());
    const HGDIOBJ font = mainWindow().commandFont;
    const HGDIOBJ brush = mainWindow().boxBrush;
    EXPECT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
    EXPECT_EQ(GetObjectType(brush), static_cast<DWORD>(OBJ_BRUSH));
    DestroyWindow(mainWindow().window);
    pumpFor(20);
    EXPECT_EQ(GetObjectType(font), 0u);
    EXPECT_EQ(GetObjectType(brush), 0u);
    releaseRunState();
}

// The icons are loaded once per process and kept; a window made again
// (this test's build links the program's icon resource) loads no more.
TEST(MainWindowObjects, RepeatedWindowsLeaveNoGdiObjectsBehind)
{
    WindowRunnerShell shell;
    initRunState(shell);
    const auto createAndDestroy = [] {
        if (!createMainWindow()) return false;
        DestroyWindow(mainWindow().window);
        pumpFor(20);
        return true;
    };
    ASSERT_TRUE(createAndDestroy());
    const ResourceFigures before = measureResources();
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(createAndDestroy());
    }
    const ResourceFigures after = measureResources();
    report("after one window", before);
    report("20 windows later", after);
    EXPECT_LE(after.gdiObjects, before.gdiObjects + 2);
    EXPECT_LE(after.handles, before.handles + 2);
    releaseRunState();
}

}  // namespace
