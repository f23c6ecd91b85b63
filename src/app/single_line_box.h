#pragma once
// The geometry of a single-line edit box: one text line centred vertically in
// a box taller than the line, with the bands above and below it painted in
// the boxes' brush and taking no clicks.
#include <windows.h>

// Subclasses the edit control `box`; its frame must be recomputed afterwards
// (SWP_FRAMECHANGED) for the line to be centred.
void makeSingleLineBox(HWND box);

// Grows `box` to one ideograph of `font` plus its edges if it is lower.
void applyMinimumHeight(HWND box, HFONT font);

// The editing area of a single-line box: `proposed` cut to one line of
// `lineHeight` pixels, centred vertically.
RECT centredLine(const RECT& proposed, int lineHeight);
