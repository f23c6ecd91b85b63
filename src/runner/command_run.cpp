#include "command_run.h"

#include <cstdio>
#include <cstring>

namespace {

// "无法启动命令：" in GBK.
const char kStartFailureLeadIn[] = "\xCE\xDE\xB7\xA8\xC6\xF4\xB6\xAF\xC3\xFC\xC1\xEE\xA3\xBA";
// "错误代码 " in GBK, for an error the system has no text for.
const char kErrorCodeLeadIn[] = "\xB4\xED\xCE\xF3\xB4\xFA\xC2\xEB ";

bool isOpen(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

// Marks the RunState busy for the length of one run, so that a click that is
// dispatched from inside the run finds it taken.
class RunInProgress {
public:
    explicit RunInProgress(RunState& state) : state_(state) { state_.runInProgress = true; }
    ~RunInProgress() { state_.runInProgress = false; }
    RunInProgress(const RunInProgress&) = delete;
    RunInProgress& operator=(const RunInProgress&) = delete;

private:
    RunState& state_;
};

// Makes the read end of the pipe private to this process, so that neither the
// interpreter nor anything it starts holds it: once we stop reading, their
// writes fail instead of blocking on a full pipe. Systems without
// SetHandleInformation get a non-inheritable duplicate instead.
HANDLE keepReadEndPrivate(HANDLE readEnd)
{
    using SetHandleInformationFn = BOOL(WINAPI*)(HANDLE, DWORD, DWORD);
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    const FARPROC found = kernel ? GetProcAddress(kernel, "SetHandleInformation") : nullptr;
    SetHandleInformationFn setInformation;
    static_assert(sizeof setInformation == sizeof found, "function pointer sizes");
    std::memcpy(&setInformation, &found, sizeof found);
    if (setInformation && setInformation(readEnd, HANDLE_FLAG_INHERIT, 0)) return readEnd;

    HANDLE privateCopy = nullptr;
    const HANDLE self = GetCurrentProcess();
    if (DuplicateHandle(self, readEnd, self, &privateCopy, 0, FALSE,
                        DUPLICATE_SAME_ACCESS | DUPLICATE_CLOSE_SOURCE)) {
        return privateCopy;
    }
    return readEnd;
}

void closeOnce(HANDLE handle)
{
    if (isOpen(handle)) CloseHandle(handle);
}

void showStartFailure(RunnerShell& shell, DWORD errorCode)
{
    const OwnedText line = startFailureText(shell, errorCode);
    shell.appendOutputText(line.c_str(), line.length());
}

// Output read since the last update of the box, shown at most once per
// interval, on character boundaries.
class OutputGatherer {
public:
    explicit OutputGatherer(RunnerShell& shell)
        : shell_(shell), intervalMs_(updateIntervalFor(0)), lastShowTick_(GetTickCount() - intervalMs_)
    {
    }

    void add(const char* bytes, size_t count) { appendChunkText(shell_, pending_, bytes, count); }

    void showIfDue()
    {
        if (!pending_.empty() && GetTickCount() - lastShowTick_ >= intervalMs_) show(false);
    }

    void showAll()
    {
        if (!pending_.empty()) show(true);
    }

    // How long a wait may last before gathered output is due.
    DWORD msUntilDue() const
    {
        if (pending_.empty()) return INFINITE;
        const DWORD waited = GetTickCount() - lastShowTick_;
        return waited >= intervalMs_ ? 0 : intervalMs_ - waited;
    }

private:
    void show(bool everything)
    {
        const size_t count =
            everything ? pending_.length() : completeCharacterLength(pending_.c_str(), pending_.length(), CP_ACP);
        const DWORD started = GetTickCount();
        if (count > 0) {
            char* bytes = pending_.data();
            const char held = bytes[count];
            bytes[count] = '\0';
            shell_.appendOutputText(bytes, count);
            bytes[count] = held;
            pending_.dropFront(count);
        }
        lastShowTick_ = GetTickCount();
        intervalMs_ = updateIntervalFor(lastShowTick_ - started);
    }

    RunnerShell& shell_;
    OwnedText pending_;
    DWORD intervalMs_;
    DWORD lastShowTick_;
};

DWORD bytesWaiting(RunState& state)
{
    state.byteCount = 0;
    if (!PeekNamedPipe(state.pipeRead, nullptr, 0, nullptr, &state.byteCount, nullptr)) state.byteCount = 0;
    return state.byteCount;
}

void readChunk(RunnerShell& shell, RunState& state)
{
    char* fresh = static_cast<char*>(allocateZeroed(shell, kChunkBufferSize));
    releaseMemory(state.chunkBuffer);
    state.chunkBuffer = fresh;
    if (!ReadFile(state.pipeRead, state.chunkBuffer, kMaxReadBytes, &state.byteCount, nullptr)) state.byteCount = 0;
}

void closeRunHandles(RunState& state)
{
    closeOnce(state.pipeRead);
    closeOnce(state.processInfo.hThread);
    closeOnce(state.processInfo.hProcess);
}

// True once the child has ended and everything it wrote has been read.
bool childFinished(RunState& state)
{
    if (WaitForSingleObject(state.processInfo.hProcess, 0) != WAIT_OBJECT_0) {
        GetExitCodeProcess(state.processInfo.hProcess, &state.exitCode);
        return false;
    }
    GetExitCodeProcess(state.processInfo.hProcess, &state.exitCode);
    // Bytes written just before the end may have arrived since the last look.
    return bytesWaiting(state) == 0;
}

void pumpOutput(RunnerShell& shell, RunState& state)
{
    OutputGatherer output(shell);
    DWORD idleWaitMs = kFirstIdleWaitMs;
    for (;;) {
        if (shell.outputGone()) {
            closeRunHandles(state);
            return;
        }
        if (bytesWaiting(state) != 0) {
            readChunk(shell, state);
            output.add(state.chunkBuffer, state.byteCount);
            idleWaitMs = kFirstIdleWaitMs;
        } else if (childFinished(state)) {
            output.showAll();
            closeRunHandles(state);
            return;
        }
        output.showIfDue();
        shell.processPendingEvents();
        if (state.byteCount == 0 && !shell.outputGone()) {
            const DWORD untilDue = output.msUntilDue();
            shell.waitForActivity(state.processInfo.hProcess, untilDue < idleWaitMs ? untilDue : idleWaitMs);
            idleWaitMs = nextIdleWait(idleWaitMs);
        }
    }
}

void runCommand(RunnerShell& shell, RunState& state)
{
    shell.writeOutputText("");

    state.securityAttributes.nLength = sizeof(SECURITY_ATTRIBUTES);
    state.securityAttributes.lpSecurityDescriptor = nullptr;
    state.securityAttributes.bInheritHandle = TRUE;
    state.pipeRead = nullptr;
    state.pipeWrite = nullptr;
    if (!CreatePipe(&state.pipeRead, &state.pipeWrite, &state.securityAttributes, 0)) {
        const DWORD error = GetLastError();
        state.pipeRead = nullptr;
        state.pipeWrite = nullptr;
        showStartFailure(shell, error);
        return;
    }
    state.pipeRead = keepReadEndPrivate(state.pipeRead);

    state.startupInfo.cb = sizeof(STARTUPINFOA);
    state.startupInfo.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    state.startupInfo.wShowWindow = SW_HIDE;
    state.startupInfo.hStdOutput = state.pipeWrite;
    state.startupInfo.hStdError = state.pipeWrite;

    const OsFamily family = queryOsFamily();
    OwnedText commandLine;
    {
        const OwnedText commandText = shell.readCommandText();
        commandLine = buildCommandLineFor(shell, family, commandText.c_str());
    }
    const OwnedText application = interpreterPath(shell, family);
    BOOL started = FALSE;
    DWORD error = ERROR_PATH_NOT_FOUND;
    if (!application.empty()) {
        started = CreateProcessA(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                 nullptr, &state.startupInfo, &state.processInfo);
        if (!started) error = GetLastError();
    }
    commandLine = OwnedText();

    closeOnce(state.pipeWrite);
    if (!started) {
        closeOnce(state.pipeRead);
        showStartFailure(shell, error);
        return;
    }
    pumpOutput(shell, state);
}

}  // namespace

void runButtonClicked(RunnerShell& shell)
{
    RunState* state = currentRunState();
    if (!state || state->runInProgress) return;
    RunInProgress busy(*state);
    runCommand(shell, *state);
}

void appendChunkText(FatalErrorSink& sink, OwnedText& text, const char* bytes, size_t count)
{
    size_t start = 0;
    for (size_t i = 0; i <= count; ++i) {
        if (i == count || bytes[i] == '\0') {
            if (i > start) text.append(sink, bytes + start, i - start);
            start = i + 1;
        }
    }
}

size_t completeCharacterLength(const char* bytes, size_t count, UINT codePage)
{
    size_t i = 0;
    while (i < count) {
        if (IsDBCSLeadByteEx(codePage, static_cast<BYTE>(bytes[i]))) {
            if (i + 1 == count) break;
            i += 2;
        } else {
            ++i;
        }
    }
    return i;
}

OwnedText startFailureText(FatalErrorSink& sink, DWORD errorCode)
{
    OwnedText line = OwnedText::copyOf(sink, kStartFailureLeadIn, sizeof kStartFailureLeadIn - 1);
    char* message = nullptr;
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, errorCode, 0, reinterpret_cast<LPSTR>(&message), 0, nullptr);
    if (length > 0 && message) {
        size_t kept = length;
        while (kept > 0 && (message[kept - 1] == '\r' || message[kept - 1] == '\n' || message[kept - 1] == ' ')) {
            --kept;
        }
        line.append(sink, message, kept);
    } else {
        char number[32];
        const int written = std::snprintf(number, sizeof number, "%lu", static_cast<unsigned long>(errorCode));
        line.append(sink, kErrorCodeLeadIn, sizeof kErrorCodeLeadIn - 1);
        line.append(sink, number, written > 0 ? static_cast<size_t>(written) : 0);
    }
    if (message) LocalFree(message);
    return line;
}

DWORD updateIntervalFor(DWORD lastUpdateCostMs)
{
    const DWORD shortest = 25;
    const DWORD longest = 80;
    const DWORD wanted = lastUpdateCostMs * 4;
    return wanted < shortest ? shortest : (wanted > longest ? longest : wanted);
}

DWORD nextIdleWait(DWORD currentWaitMs)
{
    const DWORD doubled = currentWaitMs * 2;
    return doubled > kLongestIdleWaitMs ? kLongestIdleWaitMs : doubled;
}
