#pragma once
// What a command run needs of the program around it. The application shell
// implements this for the real window; tests implement it without one.
#include <windows.h>

#include <cstddef>

#include "owned_text.h"

class RunnerShell : public FatalErrorSink {
public:
    // The whole current text of the command box.
    virtual OwnedText readCommandText() = 0;
    // The whole current text of the output box.
    virtual OwnedText readOutputText() = 0;
    // Replaces the output box's whole text with `text`, unchanged.
    virtual void writeOutputText(const char* text) = 0;
    // Dispatches the messages already queued; stops before WM_QUIT; never waits.
    virtual void processPendingEvents() = 0;

    // Adds `length` bytes (no zero among them) at the end of the output box,
    // then puts the caret and the view back at the start. Its cost must not
    // grow with the text already in the box.
    virtual void appendOutputText(const char* text, size_t length) = 0;
    // True once the output box is gone (the window was closed during the run).
    virtual bool outputGone() = 0;
    // Waits until input arrives for the window, `process` is signalled or
    // `timeoutMs` passes, whichever comes first.
    virtual void waitForActivity(HANDLE process, DWORD timeoutMs) = 0;

protected:
    ~RunnerShell() = default;
};
