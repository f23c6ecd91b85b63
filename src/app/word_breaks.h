#pragma once
// Where the output box may break its lines, as a pure rule apart from the box.
//
// The box wraps long lines at its width. Its own word breaker (under Wine)
// analyses the box's whole text again after every change, which makes each
// append of a run cost time and memory in proportion to everything shown
// so far. The box is given this rule instead: it looks at one line only.
#include <windows.h>

// A line may break after a space or a tab, and before or after any
// double-byte character (Chinese text has no spaces between words).
// `text` holds `count` bytes of `codePage`; positions are byte offsets and
// a break never falls inside a double-byte character. `action` is one of
// the edit control's word-break codes:
// - WB_LEFT: the last break before `index` (0 when there is none);
// - WB_RIGHT: the first break at or after `index` (`count` when there is none);
// - WB_ISDELIMITER: 1 when the byte at `index` is a space or a tab, else 0.
// An `index` outside 0..count is taken as the nearer end; no answer lies
// outside 0..count, and WB_LEFT never answers more than `index`.
int wordBreakPosition(const char* text, int index, int count, int action, UINT codePage);
