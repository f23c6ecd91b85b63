#include "user_input.h"

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

}  // namespace

void clickAt(POINT screenPoint)
{
    SetCursorPos(screenPoint.x, screenPoint.y);
    Sleep(30);
    send({mouseEvent(MOUSEEVENTF_LEFTDOWN), mouseEvent(MOUSEEVENTF_LEFTUP)});
}

void clickCentreOf(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    clickAt({(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
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
