#include "user_input.h"

#include <cstdio>
#include <vector>

namespace {

INPUT keyEvent(WORD key, bool up)
{
    INPUT input;
    ZeroMemory(&input, sizeof input);
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

INPUT mouseEvent(DWORD flags)
{
    INPUT input;
    ZeroMemory(&input, sizeof input);
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    return input;
}

void send(std::vector<INPUT> inputs)
{
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

bool cursorIsAt(POINT point)
{
    POINT at;
    GetCursorPos(&at);
    return at.x == point.x && at.y == point.y;
}

// Lets the program behind `window` handle what is queued for it, the X
// server's pointer events included.
void letProgramCatchUp(HWND window)
{
    for (int round = 0; round < 2; ++round) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &ignored);
        Sleep(30);
    }
}

// Under Wine a program that wakes up can still hold pointer events from an
// earlier move and put the cursor back there. So the cursor counts as moved
// only when it stays put after the programs under its old and new places
// have caught up.
void moveTo(POINT screenPoint)
{
    for (int attempt = 0; attempt < 10; ++attempt) {
        POINT from;
        GetCursorPos(&from);
        const HWND left = WindowFromPoint(from);
        // Absolute coordinates run from 0 to 65535 across the primary screen.
        INPUT move = mouseEvent(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE);
        move.mi.dx = MulDiv(screenPoint.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
        move.mi.dy = MulDiv(screenPoint.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
        send({move});
        SetCursorPos(screenPoint.x, screenPoint.y);
        const HWND reached = WindowFromPoint(screenPoint);
        if (left) letProgramCatchUp(left);
        if (reached && reached != left) letProgramCatchUp(reached);
        if (cursorIsAt(screenPoint)) return;
    }
}

HWND captureOf(HWND window)
{
    GUITHREADINFO info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndCapture : nullptr;
}

// Two presses close together in time make a double click, which is not what
// a test means by two clicks.
void pressNotAsDoubleClick()
{
    static DWORD lastPress = GetTickCount() - GetDoubleClickTime() - 100;
    const DWORD since = GetTickCount() - lastPress;
    const DWORD needed = GetDoubleClickTime() + 100;
    if (since < needed) Sleep(needed - since);
    lastPress = GetTickCount();
}

// Presses and releases the left button, once the pointer rests on the point.
// Buttons and edit boxes capture the mouse while the button is down, so a
// press that went elsewhere shows; it is then given again.
void clickOn(HWND window, POINT screenPoint)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        moveTo(screenPoint);
        pressNotAsDoubleClick();
        send({mouseEvent(MOUSEEVENTF_LEFTDOWN)});
        const DWORD start = GetTickCount();
        while (window && captureOf(window) != window && GetTickCount() - start < 1000) Sleep(10);
        const bool reached = !window || captureOf(window) == window;
        Sleep(30);
        send({mouseEvent(MOUSEEVENTF_LEFTUP)});
        if (reached) return;
        std::fprintf(stderr, "a mouse press missed its window; pressing again\n");
    }
}

}  // namespace

void clickAt(POINT screenPoint) { clickOn(nullptr, screenPoint); }

void clickCentreOf(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    clickOn(window, {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

void pressKey(WORD key, std::initializer_list<WORD> modifiers)
{
    std::vector<INPUT> inputs;
    for (WORD modifier : modifiers) inputs.push_back(keyEvent(modifier, false));
    inputs.push_back(keyEvent(key, false));
    inputs.push_back(keyEvent(key, true));
    for (auto it = modifiers.end(); it != modifiers.begin();) inputs.push_back(keyEvent(*--it, true));
    send(inputs);
}

void typeKeys(const char* text)
{
    for (const char* c = text; *c; ++c) {
        const char upper = (*c >= 'a' && *c <= 'z') ? static_cast<char>(*c - 'a' + 'A') : *c;
        pressKey(static_cast<WORD>(upper));
    }
}
