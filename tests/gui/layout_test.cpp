#include "gui_fixture.h"

namespace {

using MainWindowLayout = RunningApp;

RECT clientRectOf(HWND control, HWND parent)
{
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::string className(HWND window)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

TEST_F(MainWindowLayout, IsCentredFixedSizeWithEmptyTitleAndOnlyCloseBox)
{
    RECT rect;
    ASSERT_TRUE(GetWindowRect(mainWindow(), &rect));
    EXPECT_EQ(rect.left, 304);
    EXPECT_EQ(rect.top, 259);
    EXPECT_EQ(rect.right - rect.left, 416);
    EXPECT_EQ(rect.bottom - rect.top, 250);
    EXPECT_EQ(windowText(mainWindow()), "");

    const LONG style = GetWindowLongA(mainWindow(), GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
    EXPECT_EQ(GetParent(mainWindow()), nullptr);
    EXPECT_EQ(GetWindow(mainWindow(), GW_OWNER), nullptr);
}

TEST_F(MainWindowLayout, ControlsHaveTheirClassTextPlaceAndStyle)
{
    const struct {
        int id;
        const char* className;
        const char* text;
        RECT rect;
        LONG styleSet;
        LONG styleClear;
        LONG exStyleSet;
        LONG exStyleClear;
    } cases[] = {
        {kOutputBoxId, "Edit", "", {0, 0, 409, 185},
         WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
             ES_WANTRETURN,
         ES_AUTOHSCROLL | WS_HSCROLL | ES_READONLY | ES_NOHIDESEL | WS_BORDER | WS_DISABLED | ES_CENTER | ES_RIGHT,
         WS_EX_CLIENTEDGE, 0},
        {kCommandBoxId, "Edit", kDefaultCommand, {5, 194, 309, 218},
         WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | ES_AUTOHSCROLL,
         ES_MULTILINE | WS_VSCROLL | WS_HSCROLL | ES_READONLY | ES_PASSWORD | ES_NOHIDESEL | WS_BORDER |
             WS_DISABLED | ES_CENTER | ES_RIGHT,
         WS_EX_CLIENTEDGE, 0},
        {kRunButtonId, "Button", kRunCaption, {317, 194, 405, 218},
         WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | BS_CENTER | BS_VCENTER | BS_MULTILINE,
         WS_DISABLED, 0, WS_EX_CLIENTEDGE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        const HWND control = app().control(c.id);
        ASSERT_NE(control, nullptr);
        EXPECT_STRCASEEQ(className(control).c_str(), c.className);
        EXPECT_EQ(windowText(control), c.text);
        const RECT rect = clientRectOf(control, mainWindow());
        EXPECT_EQ(rect.left, c.rect.left);
        EXPECT_EQ(rect.top, c.rect.top);
        EXPECT_EQ(rect.right, c.rect.right);
        EXPECT_EQ(rect.bottom, c.rect.bottom);
        const LONG style = GetWindowLongA(control, GWL_STYLE);
        EXPECT_EQ(style & c.styleSet, c.styleSet) << std::hex << style;
        EXPECT_EQ(style & c.styleClear, 0) << std::hex << style;
        const LONG exStyle = GetWindowLongA(control, GWL_EXSTYLE);
        EXPECT_EQ(exStyle & c.exStyleSet, c.exStyleSet) << std::hex << exStyle;
        EXPECT_EQ(exStyle & c.exStyleClear, 0) << std::hex << exStyle;
    }
    // A plain push button: never the default button that Enter would press.
    EXPECT_EQ(GetWindowLongA(runButton(), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
}

TEST_F(MainWindowLayout, SiblingOrderIsCommandBoxRunButtonOutputBox)
{
    const HWND first = GetWindow(mainWindow(), GW_CHILD);
    EXPECT_EQ(first, commandBox());
    const HWND second = GetWindow(first, GW_HWNDNEXT);
    EXPECT_EQ(second, runButton());
    EXPECT_EQ(GetWindow(second, GW_HWNDNEXT), outputBox());
}

TEST_F(MainWindowLayout, FocusIsInTheOutputBoxAfterTheStart)
{
    EXPECT_EQ(focusAtStart_, kOutputBoxId);
}

}  // namespace
