#pragma once
// The program's life: start-up, the message loop, pending events while a
// command runs, shutdown and the fatal error report.
#include <windows.h>

#include <cstddef>

#include "owned_text.h"

using ExitCleanup = void (*)();

struct ShellState {
    ExitCleanup exitCleanup;  // run once by shutdownProgram; none at start
    int handlerBlockDepth;    // while above 0, clicks do not start a run
    bool messageLoopEntered;  // before it is set, a destroyed window posts no quit
};

// The program's one ShellState.
ShellState& shellState();

// The whole life of the program; its result is the process exit code.
int runProgram() noexcept;

// Makes the folder that holds the executable the current directory.
void changeToExecutableFolder(FatalErrorSink& sink);
// The executable's full path, however long.
OwnedText executablePath(FatalErrorSink& sink);

void registerExitCleanup(ExitCleanup routine);
bool handlersBlocked();
void blockHandlers();
void unblockHandlers();

// Takes the next message into `msg` (waiting for one) and dispatches it;
// false when it is WM_QUIT, which is not dispatched.
bool dispatchNextMessage(MSG& msg);
// Dispatches until WM_QUIT; returns its wParam.
int runMessageLoop();
// Dispatches the messages already queued; stops before WM_QUIT and leaves it
// queued; never waits.
void processPendingEvents();

// The quit rule: called when the main window is gone.
void mainWindowDestroyed();
// Blocks clicks and runs the exit clean-up once.
void shutdownProgram();

// Shows `message` in an error box and ends the process with 0xFFFFFFFF,
// skipping the exit clean-up.
[[noreturn]] void reportFatalError(const char* message);

// "内存不足，无法分配 N 字节" into `buffer`, cut to fit and always terminated.
void formatAllocationFailure(char* buffer, size_t bufferSize, size_t requestedBytes);
