#include "program_shell.h"

#include <cstring>

#include "folder_text.h"
#include "main_window.h"
#include "run_state.h"
#include "window_runner_shell.h"

namespace {

ShellState programShellState{};

// "无法创建主窗口" in GBK.
const char kWindowCreationFailed[] = "\xCE\xDE\xB7\xA8\xB4\xB4\xBD\xA8\xD6\xF7\xB4\xB0\xBF\xDA";
// "内存不足，无法分配 " and " 字节" in GBK.
const char kOutOfMemoryLeadIn[] = "\xC4\xDA\xB4\xE6\xB2\xBB\xD7\xE3\xA3\xAC\xCE\xDE\xB7\xA8\xB7\xD6\xC5\xE4 ";
const char kOutOfMemoryUnit[] = " \xD7\xD6\xBD\xDA";

constexpr DWORD kFatalExitCode = 0xFFFFFFFF;

void offerAndDispatch(const MSG& msg)
{
    if (preTranslateKeyMessage(msg)) return;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

bool createMainWindowBlocked()
{
    blockHandlers();
    const bool created = createMainWindow();
    unblockHandlers();
    return created;
}

// Appends `text` to `buffer` as far as it fits; `used` is what it holds.
void appendBounded(char* buffer, size_t bufferSize, size_t& used, const char* text)
{
    while (*text != '\0' && used + 1 < bufferSize) buffer[used++] = *text++;
    buffer[used] = '\0';
}

}  // namespace

ShellState& shellState() { return programShellState; }

int runProgram() noexcept
{
    SetErrorMode(SetErrorMode(0) | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    WindowRunnerShell shell;
    changeToExecutableFolder(shell);
    initRunState(shell);
    registerExitCleanup(releaseRunState);
    if (!createMainWindowBlocked()) reportFatalError(kWindowCreationFailed);
    ShowWindow(mainWindow().window, SW_SHOW);

    programShellState.messageLoopEntered = true;
    int exitCode = 0;
    if (IsWindow(mainWindow().window)) exitCode = runMessageLoop();
    shutdownProgram();
    return exitCode;
}

OwnedText executablePath(FatalErrorSink& sink)
{
    DWORD size = MAX_PATH;
    for (;;) {
        OwnedText path = OwnedText::withLength(sink, size);
        const DWORD written = GetModuleFileNameA(nullptr, path.data(), size);
        // A path that filled the whole buffer may have been cut: try a larger one.
        if (written < size || size >= 0x8000) {
            path.truncate(written < size ? written : 0);
            return path;
        }
        size *= 2;
    }
}

void changeToExecutableFolder(FatalErrorSink& sink)
{
    OwnedText folder = executablePath(sink);
    folder.truncate(folderLengthOfPath(folder.c_str(), CP_ACP));
    SetCurrentDirectoryA(folder.c_str());
}

void registerExitCleanup(ExitCleanup routine) { programShellState.exitCleanup = routine; }

bool handlersBlocked() { return programShellState.handlerBlockDepth > 0; }
void blockHandlers() { ++programShellState.handlerBlockDepth; }
void unblockHandlers() { --programShellState.handlerBlockDepth; }

bool dispatchNextMessage(MSG& msg)
{
    const BOOL taken = GetMessageA(&msg, nullptr, 0, 0);
    if (taken == 0) return false;
    if (taken > 0) offerAndDispatch(msg);
    return true;
}

int runMessageLoop()
{
    MSG msg;
    while (dispatchNextMessage(msg)) {
    }
    return static_cast<int>(msg.wParam);
}

void processPendingEvents()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE) && msg.message != WM_QUIT) {
        // Taken with PeekMessageA rather than GetMessageA so that this can
        // never wait, even if a nested handler has emptied the queue since.
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return;
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        offerAndDispatch(msg);
    }
}

void mainWindowDestroyed()
{
    if (programShellState.messageLoopEntered) PostQuitMessage(0);
}

void shutdownProgram()
{
    blockHandlers();
    const ExitCleanup cleanup = programShellState.exitCleanup;
    programShellState.exitCleanup = nullptr;
    if (cleanup) cleanup();
}

void reportFatalError(const char* message)
{
    blockHandlers();
    MessageBoxA(nullptr, message, nullptr, MB_ICONERROR);
    programShellState.exitCleanup = nullptr;
    ExitProcess(kFatalExitCode);
}

void formatAllocationFailure(char* buffer, size_t bufferSize, size_t requestedBytes)
{
    if (bufferSize == 0) return;
    char digits[24];
    size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + requestedBytes % 10);
        requestedBytes /= 10;
    } while (requestedBytes != 0);
    char number[24];
    for (size_t i = 0; i < count; ++i) number[i] = digits[count - 1 - i];
    number[count] = '\0';

    size_t used = 0;
    buffer[0] = '\0';
    appendBounded(buffer, bufferSize, used, kOutOfMemoryLeadIn);
    appendBounded(buffer, bufferSize, used, number);
    appendBounded(buffer, bufferSize, used, kOutOfMemoryUnit);
}
