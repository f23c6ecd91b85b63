#include "pointer_input.h"

namespace {

void sendMouse(DWORD flags, POINT screenPoint = {})
{
    INPUT input;
    ZeroMemory(&input, sizeof input);
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    // Absolute coordinates run from 0 to 65535 across the primary screen.
    input.mi.dx = MulDiv(screenPoint.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(screenPoint.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    SendInput(1, &input, sizeof input);
}

}  // namespace

void movePointerTo(POINT screenPoint)
{
    sendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, screenPoint);
    for (int i = 0; i < 50; ++i) {
        POINT at;
        GetCursorPos(&at);
        if (at.x == screenPoint.x && at.y == screenPoint.y) return;
        Sleep(10);
    }
}

void pressLeftButton() { sendMouse(MOUSEEVENTF_LEFTDOWN); }

void releaseLeftButton() { sendMouse(MOUSEEVENTF_LEFTUP); }
