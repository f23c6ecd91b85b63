// The real main window, created inside the test process.
#include <gtest/gtest.h>

#include <string>

#include "main_window.h"
#include "program_shell.h"
#include "window_runner_shell.h"

namespace {

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(createMainWindow());
        w = mainWindow();
    }

    void TearDown() override
    {
        if (mainWindow().window) DestroyWindow(mainWindow().window);
        drainQueue();
    }

    static void drainQueue()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }

    void showAndActivate()
    {
        ShowWindow(w.window, SW_SHOW);
        SetForegroundWindow(w.window);
        drainQueue();
    }

    static std::string textOf(HWND window)
    {
        char buffer[512] = {};
        GetWindowTextA(window, buffer, sizeof buffer);
        return buffer;
    }

    static RECT rectInParent(HWND control)
    {
        RECT r;
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }

    static MSG keyDown(HWND target, WPARAM key)
    {
        MSG msg{};
        msg.hwnd = target;
        msg.message = WM_KEYDOWN;
        msg.wParam = key;
        return msg;
    }

    std::string outputText()
    {
        WindowRunnerShell shell;
        return readOutputText(shell).c_str();
    }

    MainWindow w{};
};

TEST_F(MainWindowTest, WindowIsCentredFixedAndHidden)
{
    RECT outer;
    GetWindowRect(w.window, &outer);
    EXPECT_EQ(outer.right - outer.left, 416);
    EXPECT_EQ(outer.bottom - outer.top, 250);
    EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - 416) / 2);
    EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - 250) / 2);

    const LONG_PTR style = GetWindowLongPtrA(w.window, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN), WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_VISIBLE), 0);
    EXPECT_EQ(GetWindowLongPtrA(w.window, GWL_EXSTYLE) & ~static_cast<LONG_PTR>(WS_EX_WINDOWEDGE), 0);
    EXPECT_EQ(textOf(w.window), "");
    EXPECT_EQ(GetParent(w.window), nullptr);

    char className[64] = {};
    GetClassNameA(w.window, className, sizeof className);
    EXPECT_STREQ(className, kMainWindowClassName);
}

TEST_F(MainWindowTest, ControlsHaveTheirIdsPlacesStylesAndTexts)
{
    const LONG_PTR base = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS;
    const struct {
        HWND control;
        const char* className;
        int id;
        RECT place;
        LONG_PTR style;
        LONG_PTR absent;
        LONG_PTR exStyle;
        const char* text;
    } cases[] = {
        {w.outputBox, "Edit", 100, {0, 0, 409, 185},
         base | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
         ES_AUTOHSCROLL | WS_HSCROLL | ES_READONLY | ES_NOHIDESEL | WS_BORDER, WS_EX_CLIENTEDGE, ""},
        {w.commandBox, "Edit", 120, {5, 194, 309, 218}, base | ES_AUTOHSCROLL,
         ES_MULTILINE | WS_VSCROLL | WS_HSCROLL | ES_READONLY | ES_PASSWORD | ES_NOHIDESEL | WS_BORDER,
         WS_EX_CLIENTEDGE, "dir c:\\"},
        {w.runButton, "Button", 110, {317, 194, 405, 218}, base | BS_CENTER | BS_VCENTER | BS_MULTILINE,
         BS_DEFPUSHBUTTON, 0, "\xD6\xB4\xD0\xD0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        ASSERT_NE(c.control, nullptr);
        char className[32] = {};
        GetClassNameA(c.control, className, sizeof className);
        EXPECT_STRCASEEQ(className, c.className);
        EXPECT_EQ(GetDlgCtrlID(c.control), c.id);
        const RECT place = rectInParent(c.control);
        EXPECT_EQ(place.left, c.place.left);
        EXPECT_EQ(place.top, c.place.top);
        EXPECT_EQ(place.right, c.place.right);
        EXPECT_EQ(place.bottom, c.place.bottom);
        const LONG_PTR style = GetWindowLongPtrA(c.control, GWL_STYLE);
        EXPECT_EQ(style & c.style, c.style);
        EXPECT_EQ(style & c.absent, 0);
        EXPECT_EQ(GetWindowLongPtrA(c.control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, c.exStyle);
        EXPECT_EQ(textOf(c.control), c.text);
        EXPECT_TRUE(IsWindowVisible(c.control) || !IsWindowVisible(w.window));
        EXPECT_TRUE(IsWindowEnabled(c.control));
    }
}

TEST_F(MainWindowTest, SiblingOrderIsCommandBoxRunButtonOutputBox)
{
    const HWND first = GetWindow(w.window, GW_CHILD);
    EXPECT_EQ(first, w.commandBox);
    EXPECT_EQ(GetWindow(first, GW_HWNDNEXT), w.runButton);
    EXPECT_EQ(GetWindow(w.runButton, GW_HWNDNEXT), w.outputBox);
    EXPECT_EQ(GetWindow(w.outputBox, GW_HWNDNEXT), nullptr);
}

TEST_F(MainWindowTest, BoxesHaveTheirFontsAndNoTypingLimit)
{
    LOGFONTA font{};
    ASSERT_NE(GetObjectA(w.commandFont, sizeof font, &font), 0);
    EXPECT_EQ(font.lfHeight, -19);
    EXPECT_EQ(font.lfQuality, PROOF_QUALITY);
    EXPECT_STREQ(font.lfFaceName, "\xCB\xCE\xCC\xE5");
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(w.commandBox, WM_GETFONT, 0, 0)), w.commandFont);
    const HFONT guiFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(w.outputBox, WM_GETFONT, 0, 0)), guiFont);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(w.runButton, WM_GETFONT, 0, 0)), guiFont);

    for (HWND box : {w.outputBox, w.commandBox}) {
        EXPECT_GE(static_cast<DWORD>(SendMessageA(box, EM_GETLIMITTEXT, 0, 0)), 0x7FFFFFFEu);
    }
}

TEST_F(MainWindowTest, CommandBoxEditsOneCentredLine)
{
    RECT outer, client;
    GetWindowRect(w.commandBox, &outer);
    GetClientRect(w.commandBox, &client);
    MapWindowPoints(w.commandBox, nullptr, reinterpret_cast<POINT*>(&client), 2);

    HDC dc = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, w.commandFont);
    SIZE letter{};
    GetTextExtentPoint32A(dc, "W", 1, &letter);
    SelectObject(dc, previous);
    ReleaseDC(nullptr, dc);

    // One line high, or the whole room when the font's line is taller.
    EXPECT_LE(client.bottom - client.top, letter.cy);
    EXPECT_GE(client.bottom - client.top, (outer.bottom - outer.top) - 4 * GetSystemMetrics(SM_CYEDGE));
    const int above = client.top - outer.top;
    const int below = outer.bottom - client.bottom;
    EXPECT_LE(above - below, 1);
    EXPECT_GE(above - below, -1);

    // The bands above and below the line take no clicks.
    const int x = (client.left + client.right) / 2;
    const LPARAM inBand = MAKELPARAM(x, outer.top + 1);
    const LPARAM onLine = MAKELPARAM(x, (client.top + client.bottom) / 2);
    EXPECT_EQ(SendMessageA(w.commandBox, WM_NCHITTEST, 0, inBand), HTBORDER);
    EXPECT_EQ(SendMessageA(w.commandBox, WM_NCHITTEST, 0, onLine), HTCLIENT);
}

TEST_F(MainWindowTest, BoxesAnswerBlackOnWhite)
{
    HDC dc = GetDC(w.outputBox);
    for (HWND box : {w.outputBox, w.commandBox}) {
        const LRESULT brush = SendMessageA(w.window, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                                           reinterpret_cast<LPARAM>(box));
        EXPECT_EQ(reinterpret_cast<HBRUSH>(brush), w.boxBrush);
        EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
        EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 255));
    }
    ReleaseDC(w.outputBox, dc);
}

TEST_F(MainWindowTest, TextsReadAndWriteTheWholeBoxes)
{
    WindowRunnerShell shell;
    EXPECT_STREQ(readCommandText(shell).c_str(), "dir c:\\");
    SetWindowTextA(w.commandBox, "");
    EXPECT_STREQ(readCommandText(shell).c_str(), "");

    writeOutputText("\xD6\xD0\xCE\xC4\r\nline two");
    EXPECT_EQ(outputText(), "\xD6\xD0\xCE\xC4\r\nline two");
    writeOutputText("");
    EXPECT_EQ(outputText(), "");
}

TEST_F(MainWindowTest, AppendKeepsEarlierTextAndShowsTheStart)
{
    showAndActivate();
    writeOutputText("first\r\n");
    // The user types at the start of the box meanwhile.
    SendMessageA(w.outputBox, EM_SETSEL, 0, 0);
    SendMessageA(w.outputBox, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("typed "));

    std::string expected = "typed first\r\n";
    for (int i = 0; i < 40; ++i) {
        const std::string line = "line " + std::to_string(i) + "\r\n";
        appendOutputText(line.c_str(), line.size());
        expected += line;
    }
    EXPECT_EQ(outputText(), expected);

    DWORD start = 1, end = 1;
    SendMessageA(w.outputBox, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 0u);
    EXPECT_EQ(SendMessageA(w.outputBox, EM_GETFIRSTVISIBLELINE, 0, 0), 0);

    // Scrolled down by the user, the next chunk brings the view back.
    SendMessageA(w.outputBox, EM_LINESCROLL, 0, 20);
    appendOutputText("more\r\n", 6);
    EXPECT_EQ(SendMessageA(w.outputBox, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
}

TEST_F(MainWindowTest, AppendTakesMegabytesWhole)
{
    const size_t chunk = 64 * 1024;
    std::string piece(chunk, 'x');
    for (size_t i = 100; i < chunk; i += 101) piece[i] = '\n';
    const size_t total = 3 * 1024 * 1024;
    for (size_t added = 0; added < total; added += chunk) appendOutputText(piece.c_str(), piece.size());
    const size_t appended = (total + chunk - 1) / chunk * chunk;
    EXPECT_EQ(static_cast<size_t>(GetWindowTextLengthA(w.outputBox)), appended);
    EXPECT_EQ(outputText().size(), appended);
}

// The box breaks long lines by its own rule, which looks at one line at a
// time; the system's breaker would analyse the whole text after every append.
TEST_F(MainWindowTest, LongLinesWrapAtWordStarts)
{
    EXPECT_NE(SendMessageA(w.outputBox, EM_GETWORDBREAKPROC, 0, 0), 0);

    std::string line;
    for (int i = 0; line.size() < 600; ++i) line += "word" + std::to_string(i) + ' ';
    line += "\r\n";
    appendOutputText(line.c_str(), line.size());
    const LRESULT rows = SendMessageA(w.outputBox, EM_GETLINECOUNT, 0, 0);
    ASSERT_GT(rows, 3);
    for (LRESULT row = 1; row + 1 < rows; ++row) {
        const LRESULT start = SendMessageA(w.outputBox, EM_LINEINDEX, static_cast<WPARAM>(row), 0);
        ASSERT_GT(start, 0);
        EXPECT_EQ(line[static_cast<size_t>(start) - 1], ' ') << "row " << row << " starts inside a word";
        EXPECT_EQ(line.compare(static_cast<size_t>(start), 4, "word"), 0) << "row " << row;
    }
    EXPECT_EQ(outputText(), line);
}

TEST_F(MainWindowTest, FocusStartsInTheOutputBoxAndTabCycles)
{
    showAndActivate();
    EXPECT_EQ(GetFocus(), w.outputBox);

    const HWND forward[] = {w.outputBox, w.runButton, w.commandBox, w.outputBox};
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(preTranslateKeyMessage(keyDown(GetFocus(), VK_TAB)));
        EXPECT_EQ(GetFocus(), forward[i + 1]);
    }
    const HWND backward[] = {w.outputBox, w.commandBox, w.runButton, w.outputBox};
    for (int i = 0; i < 3; ++i) {
        BYTE keys[256] = {};
        keys[VK_SHIFT] = 0x80;
        SetKeyboardState(keys);
        EXPECT_TRUE(preTranslateKeyMessage(keyDown(GetFocus(), VK_TAB)));
        keys[VK_SHIFT] = 0;
        SetKeyboardState(keys);
        EXPECT_EQ(GetFocus(), backward[i + 1]);
    }

    // Enter is the focused control's own.
    SetFocus(w.commandBox);
    EXPECT_FALSE(preTranslateKeyMessage(keyDown(w.commandBox, VK_RETURN)));
    EXPECT_EQ(GetFocus(), w.commandBox);
    EXPECT_FALSE(preTranslateKeyMessage(keyDown(w.outputBox, 'A')));

    // A window that is not the main window's is left alone.
    MSG stranger = keyDown(GetDesktopWindow(), VK_ESCAPE);
    EXPECT_FALSE(preTranslateKeyMessage(stranger));
}

TEST_F(MainWindowTest, FocusComesBackAfterDeactivation)
{
    showAndActivate();
    SetFocus(w.commandBox);
    SendMessageA(w.window, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(mainWindow().rememberedFocus, w.commandBox);
    SendMessageA(w.window, WM_SETFOCUS, 0, 0);
    EXPECT_EQ(GetFocus(), w.commandBox);
    EXPECT_EQ(mainWindow().rememberedFocus, nullptr);

    // With nothing remembered the focus goes to the first control.
    SendMessageA(w.window, WM_SETFOCUS, 0, 0);
    EXPECT_EQ(GetFocus(), w.outputBox);
}

TEST_F(MainWindowTest, EscClosesAndClearsTheRecord)
{
    EXPECT_TRUE(preTranslateKeyMessage(keyDown(w.runButton, VK_ESCAPE)));
    EXPECT_FALSE(IsWindow(w.window));
    EXPECT_FALSE(IsWindow(w.outputBox));
    EXPECT_EQ(mainWindow().window, nullptr);
    EXPECT_EQ(mainWindow().outputBox, nullptr);
    EXPECT_EQ(mainWindow().commandFont, nullptr);
    EXPECT_TRUE(outputBoxGone());

    // The texts are safe to use without a window.
    WindowRunnerShell shell;
    EXPECT_STREQ(readOutputText(shell).c_str(), "");
    writeOutputText("nowhere");
    appendOutputText("nowhere", 7);

    // Before the message loop has been entered, the end of the window posts no quit.
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}

TEST(PendingEvents, DispatchesQueuedMessagesAndStopsBeforeQuit)
{
    ASSERT_TRUE(createMainWindow());
    const HWND box = mainWindow().outputBox;
    SetWindowTextA(box, "abcdef");
    PostMessageA(box, EM_SETSEL, 1, 2);
    PostQuitMessage(7);
    // Posted messages go before the quit, also those posted after it.
    PostMessageA(box, EM_SETSEL, 3, 5);

    processPendingEvents();
    DWORD start = 0, end = 0;
    SendMessageA(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 3u);
    EXPECT_EQ(end, 5u);

    // The quit waits in the queue for the message loop.
    processPendingEvents();
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    DestroyWindow(mainWindow().window);
    EXPECT_EQ(runMessageLoop(), 7);
}

TEST(ExecutableFolder, IsTheFolderOfThisProgram)
{
    WindowRunnerShell shell;
    const OwnedText path = executablePath(shell);
    const std::string text = path.c_str();
    ASSERT_GT(text.size(), 4u);
    EXPECT_EQ(text.substr(text.size() - 4), ".exe");

    SetCurrentDirectoryA("C:\\");
    changeToExecutableFolder(shell);
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof current, current);
    EXPECT_EQ(std::string(current) + "\\", text.substr(0, text.rfind('\\') + 1));
}

}  // namespace
