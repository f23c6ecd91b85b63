#pragma once
// One command run: the handler of a click on the run button.
#include <windows.h>

#include <cstddef>

#include "owned_text.h"
#include "run_state.h"
#include "runner_shell.h"

// Runs the command box's text through the interpreter and shows its output
// until the child has ended and the pipe is empty. A call made while a run is
// under way (a click dispatched from inside that run) does nothing.
void runButtonClicked(RunnerShell& shell);

// Adds the bytes of one read to `text`, leaving out zero bytes.
void appendChunkText(FatalErrorSink& sink, OwnedText& text, const char* bytes, size_t count);

// How many leading bytes of `bytes` end on a character boundary in `codePage`:
// a lead byte whose trail byte has not arrived yet is held back.
size_t completeCharacterLength(const char* bytes, size_t count, UINT codePage);

// The one line a failed start shows: a fixed lead-in and the system's message.
OwnedText startFailureText(FatalErrorSink& sink, DWORD errorCode);

// How long gathered output may wait before it is shown, given what the last
// update of the box cost.
DWORD updateIntervalFor(DWORD lastUpdateCostMs);
// The next wait while the child stays silent.
DWORD nextIdleWait(DWORD currentWaitMs);

constexpr DWORD kFirstIdleWaitMs = 1;
constexpr DWORD kLongestIdleWaitMs = 16;
