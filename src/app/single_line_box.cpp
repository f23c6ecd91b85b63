#include "single_line_box.h"

#include <windowsx.h>

#include <cstring>

#include "gdi_owners.h"
#include "main_window.h"

namespace {

// "中" in GBK: the ideograph a box's minimum height is measured with.
const char kWideIdeograph[] = "\xD6\xD0";

int textHeight(HFONT font, const char* text)
{
    const WindowDc screen(nullptr);
    const SelectedObject selected(screen.get(), font);
    SIZE size{};
    GetTextExtentPoint32A(screen.get(), text, static_cast<int>(std::strlen(text)), &size);
    return size.cy;
}

HFONT fontOf(HWND window) { return reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0)); }

RECT clientRectOnScreen(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return client;
}

LRESULT callEditProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto editProc = reinterpret_cast<WNDPROC>(GetClassLongPtrA(box, GCLP_WNDPROC));
    return CallWindowProcA(editProc, box, message, wParam, lParam);
}

LRESULT onBoxNcCalcSize(HWND box, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = callEditProc(box, WM_NCCALCSIZE, wParam, lParam);
    RECT* client = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0] : reinterpret_cast<RECT*>(lParam);
    *client = centredLine(*client, textHeight(fontOf(box), "W"));
    return result;
}

LRESULT onBoxNcHitTest(HWND box, LPARAM lParam)
{
    const POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    const RECT client = clientRectOnScreen(box);
    if (!PtInRect(&client, point)) return HTBORDER;
    return callEditProc(box, WM_NCHITTEST, 0, lParam);
}

LRESULT onBoxNcPaint(HWND box)
{
    RECT outer;
    GetWindowRect(box, &outer);
    RECT client = clientRectOnScreen(box);
    OffsetRect(&client, -outer.left, -outer.top);
    OffsetRect(&outer, -outer.left, -outer.top);
    {
        const WindowDc dc(box, WindowDc::Area::Whole);
        ExcludeClipRect(dc.get(), client.left, client.top, client.right, client.bottom);
        FillRect(dc.get(), &outer, mainWindow().boxBrush);
    }
    return DefWindowProcA(box, WM_NCPAINT, 1, 0);
}

LRESULT onBoxEraseBackground(HDC dc)
{
    RECT clip;
    GetClipBox(dc, &clip);
    FillRect(dc, &clip, mainWindow().boxBrush);
    return 1;
}

LRESULT CALLBACK singleLineBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    switch (message) {
    case WM_NCCALCSIZE: return onBoxNcCalcSize(box, wParam, lParam);
    case WM_NCHITTEST: return onBoxNcHitTest(box, lParam);
    case WM_NCPAINT: return onBoxNcPaint(box);
    case WM_ERASEBKGND: return onBoxEraseBackground(reinterpret_cast<HDC>(wParam));
    default: return callEditProc(box, message, wParam, lParam);
    }
}

// The height of one ideograph of `font`. The internal leading that some
// fonts keep above their characters (room for accents) is not part of it, so
// a 19-pixel font gives 19 whichever face the system finds for the name.
int ideographHeight(HFONT font)
{
    const WindowDc screen(nullptr);
    const SelectedObject selected(screen.get(), font);
    SIZE size{};
    GetTextExtentPoint32A(screen.get(), kWideIdeograph, static_cast<int>(sizeof kWideIdeograph - 1), &size);
    TEXTMETRICA metrics{};
    GetTextMetricsA(screen.get(), &metrics);
    return size.cy - metrics.tmInternalLeading;
}

}  // namespace

void makeSingleLineBox(HWND box)
{
    SetWindowLongPtrA(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(singleLineBoxProc));
}

void applyMinimumHeight(HWND box, HFONT font)
{
    const int needed = ideographHeight(font) + 2 * GetSystemMetrics(SM_CYEDGE);
    RECT outer;
    GetWindowRect(box, &outer);
    if (outer.bottom - outer.top < needed) {
        SetWindowPos(box, nullptr, 0, 0, outer.right - outer.left, needed,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    }
}

RECT centredLine(const RECT& proposed, int lineHeight)
{
    RECT line = proposed;
    // A line taller than the room keeps the room: the text is clipped, not the frame.
    if (proposed.bottom - proposed.top <= lineHeight) return line;
    line.top = proposed.top + (proposed.bottom - proposed.top - lineHeight) / 2;
    line.bottom = line.top + lineHeight;
    return line;
}
