#include "window_runner_shell.h"

#include "main_window.h"
#include "program_shell.h"

OwnedText WindowRunnerShell::readCommandText() { return ::readCommandText(*this); }

OwnedText WindowRunnerShell::readOutputText() { return ::readOutputText(*this); }

void WindowRunnerShell::writeOutputText(const char* text) { ::writeOutputText(text); }

void WindowRunnerShell::processPendingEvents() { ::processPendingEvents(); }

void WindowRunnerShell::appendOutputText(const char* text, size_t length) { ::appendOutputText(text, length); }

bool WindowRunnerShell::outputGone() { return outputBoxGone(); }

void WindowRunnerShell::waitForActivity(HANDLE process, DWORD timeoutMs)
{
    MsgWaitForMultipleObjectsEx(1, &process, timeoutMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

void WindowRunnerShell::allocationFailed(size_t requestedBytes)
{
    // Built on the stack: the heap has just failed.
    char message[128];
    formatAllocationFailure(message, sizeof message, requestedBytes);
    reportFatalError(message);
}
