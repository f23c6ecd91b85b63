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
// How fast the output box takes in text, learnt from the updates of a run.
// An update costs a part that grows with the text already in the box plus a
// part per byte added; the fastest rate seen on a sizeable update is taken
// as the per-byte part, and the rest of an update's cost as the other. The
// machine's own hiccups only ever add to that rest, so the least of the last
// few is kept.
class BoxSpeed {
public:
    void note(size_t bytes, ULONGLONG microseconds);
    // Bytes per millisecond; 0 while unknown.
    size_t bytesPerMs() const { return bestBytesPerMs_; }
    // The part of an update's cost that does not depend on its size.
    ULONGLONG fixedCostMs() const;

private:
    static constexpr int kFixedCostSamples = 4;
    size_t bestBytesPerMs_ = 0;
    ULONGLONG fixedCostSamplesMs_[kFixedCostSamples] = {};
    int fixedCostSampleCount_ = 0;
};

// How long an update may take in all, given the box's fixed cost:
// kUpdateTargetMs, or, once the fixed cost alone comes near that (a box
// holding many megabytes), half as much again as that cost, so that a third
// of the time spent updating still goes into new text.
ULONGLONG updateTargetMsFor(ULONGLONG fixedCostMs);
// The most bytes one update may add, as the box's speed predicts: enough
// to fill the update's target time.
size_t updateLimitFor(const BoxSpeed& speed);
// The limit for the next update after one of `shown` bytes that took
// `costMs`: the prediction, but growing by doubling at most, and in
// proportion smaller after an update that went past its target time.
size_t nextUpdateLimit(const BoxSpeed& speed, size_t shown, ULONGLONG costMs);

// Short enough that the window answers within a tenth of a second while
// output pours in, long enough that the fixed cost is shared by much text.
constexpr DWORD kUpdateTargetMs = 50;
constexpr size_t kSmallestUpdate = 16 * 1024;
constexpr size_t kLargestUpdate = 1024 * 1024;

// The most one pass of the run reads before it processes pending events:
// a few milliseconds of reading.
constexpr size_t kLargestReadingPass = 64 * 1024;
constexpr ULONGLONG kLongestReadingPassUs = 5000;

// How long the run rests, when the pipe is empty and the child runs, after
// the child has been silent for `silentForMs`: a quarter of that silence,
// from kFirstIdleWaitMs up to kLongestIdleWaitMs. Output that follows a
// short pause (a child starting up, a command between two steps) is seen
// within a few milliseconds; a child silent for long costs a wake-up every
// kLongestIdleWaitMs.
DWORD idleWaitFor(DWORD silentForMs);

constexpr DWORD kFirstIdleWaitMs = 1;
constexpr DWORD kLongestIdleWaitMs = 75;
