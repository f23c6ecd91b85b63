#pragma once
// The mouse's parts one at a time, for presses that must be held (a drag)
// or awaited by the caller (a window of the caller's own thread).
#include <windows.h>

// Moves the pointer to a screen point, and waits until it is there.
void movePointerTo(POINT screenPoint);
void pressLeftButton();
void releaseLeftButton();
