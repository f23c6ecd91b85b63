#pragma once
// Real input, as the mouse and the keyboard give it: injected into the
// system's input stream, so it reaches whichever window is under the pointer
// or has the focus, and passes through the program's own message loop.
#include <windows.h>

#include <initializer_list>

void clickAt(POINT screenPoint);
void clickCentreOf(HWND window);

// Presses `key` while the `modifiers` (VK_SHIFT, VK_CONTROL, VK_MENU) are held.
void pressKey(WORD key, std::initializer_list<WORD> modifiers = {});

// Types lower-case letters and digits key by key.
void typeKeys(const char* text);
