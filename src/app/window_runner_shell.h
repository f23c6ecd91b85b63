#pragma once
// The operations a command run needs, done on the real main window.
#include "runner_shell.h"

class WindowRunnerShell final : public RunnerShell {
public:
    OwnedText readCommandText() override;
    OwnedText readOutputText() override;
    void writeOutputText(const char* text) override;
    void processPendingEvents() override;
    void appendOutputText(const char* text, size_t length) override;
    bool outputGone() override;
    void waitForActivity(HANDLE process, DWORD timeoutMs) override;
    [[noreturn]] void allocationFailed(size_t requestedBytes) override;
};
