#include "command_run.h"

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

ULONGLONG microsecondsNow()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<ULONGLONG>(now.QuadPart) * 1000000u / static_cast<ULONGLONG>(frequency.QuadPart);
}

// Output read since the last update of the box. It is shown at most once per
// interval, on character boundaries, and at most as much at a time as the box
// takes in a few tens of milliseconds, so that the window keeps answering
// however fast the child writes.
class OutputGatherer {
public:
    explicit OutputGatherer(RunnerShell& shell)
        : shell_(shell), intervalMs_(updateIntervalFor(0)), lastShowTick_(GetTickCount() - intervalMs_)
    {
    }

    void add(const char* bytes, size_t count) { appendChunkText(shell_, pending_, bytes, count); }

    // True when so much waits to be shown that reading should pause: the
    // child then waits on a full pipe instead of the program's memory growing.
    bool backlogFull() const { return pending_.length() - shownUpTo_ >= kLargestBacklog; }

    // A whole update or more waits to be shown.
    bool behind() const { return pending_.length() - shownUpTo_ >= updateLimit_; }

    // Behind, or output gathered for a whole interval.
    bool updateDue() const { return hasUnshown() && (behind() || GetTickCount() - lastShowTick_ >= intervalMs_); }

    // A backlog is caught up at once, one update per pass.
    void showIfDue()
    {
        if (updateDue()) show(false);
    }

    // After the child's end: one more part of what is left, a lone lead byte included.
    void showNextPart() { show(true); }

    bool hasUnshown() const { return pending_.length() > shownUpTo_; }

    // How long a wait may last before gathered output is due.
    DWORD msUntilDue() const
    {
        if (!hasUnshown()) return INFINITE;
        const DWORD waited = GetTickCount() - lastShowTick_;
        return waited >= intervalMs_ ? 0 : intervalMs_ - waited;
    }

private:
    static constexpr size_t kLargestBacklog = 1024 * 1024;

    void show(bool everything)
    {
        const char* unshown = pending_.c_str() + shownUpTo_;
        size_t count = pending_.length() - shownUpTo_;
        if (count > updateLimit_) count = updateLimit_;
        const size_t whole = completeCharacterLength(unshown, count, CP_ACP);
        // A lone lead byte waits for its trail byte, unless the output has ended.
        if (whole > 0 || !everything) count = whole;
        const DWORD started = GetTickCount();
        const ULONGLONG startedUs = microsecondsNow();
        if (count > 0) {
            char* bytes = pending_.data() + shownUpTo_;
            const char held = bytes[count];
            bytes[count] = '\0';
            shell_.appendOutputText(bytes, count);
            bytes[count] = held;
            shownUpTo_ += count;
            if (shownUpTo_ == pending_.length()) {
                pending_.truncate(0);
                shownUpTo_ = 0;
            } else if (shownUpTo_ > kLargestBacklog) {
                pending_.dropFront(shownUpTo_);
                shownUpTo_ = 0;
            }
        }
        lastShowTick_ = GetTickCount();
        intervalMs_ = updateIntervalFor(lastShowTick_ - started);
        const ULONGLONG costUs = microsecondsNow() - startedUs;
        boxSpeed_.note(count, costUs);
        updateLimit_ = nextUpdateLimit(boxSpeed_, count, costUs / 1000u);
    }

    RunnerShell& shell_;
    OwnedText pending_;
    size_t shownUpTo_ = 0;
    BoxSpeed boxSpeed_;
    size_t updateLimit_ = updateLimitFor(boxSpeed_);
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

// Reads, a chunk at a time, the bytes the pipe said were waiting: they are
// there, so no read waits. Stops early once a whole update waits to be
// shown, and after kLargestReadingPass bytes or kLongestReadingPassUs, so
// that pending events are not kept waiting; the rest is read in the next
// pass. An update that falls due meanwhile follows at the end of the pass
// with all that has been read.
void readWaitingBytes(RunnerShell& shell, RunState& state, OutputGatherer& output, DWORD waiting)
{
    const ULONGLONG startedUs = microsecondsNow();
    size_t readThisPass = 0;
    while (waiting > 0) {
        readChunk(shell, state);
        if (state.byteCount == 0) return;
        output.add(state.chunkBuffer, state.byteCount);
        readThisPass += state.byteCount;
        waiting = state.byteCount < waiting ? waiting - state.byteCount : 0;
        if (readThisPass >= kLargestReadingPass || output.behind() || output.backlogFull()) return;
        if (microsecondsNow() - startedUs >= kLongestReadingPassUs) return;
    }
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
        // What GetExitCodeProcess answers for a running child, without one
        // more call to the system at every idle pass.
        state.exitCode = STILL_ACTIVE;
        return false;
    }
    GetExitCodeProcess(state.processInfo.hProcess, &state.exitCode);
    // Bytes written just before the end may have arrived since the last look.
    return bytesWaiting(state) == 0;
}

void pumpOutput(RunnerShell& shell, RunState& state)
{
    OutputGatherer output(shell);
    DWORD lastBytesTick = GetTickCount();
    for (;;) {
        if (shell.outputGone()) {
            closeRunHandles(state);
            return;
        }
        bool busy = output.backlogFull();
        if (busy) {
            // The box is behind: the pipe waits until it has caught up.
        } else if (const DWORD waiting = bytesWaiting(state)) {
            readWaitingBytes(shell, state, output, waiting);
            lastBytesTick = GetTickCount();
            busy = true;
        } else if (childFinished(state)) {
            if (!output.hasUnshown()) {
                closeRunHandles(state);
                return;
            }
            output.showNextPart();
            busy = true;
        }
        output.showIfDue();
        shell.processPendingEvents();
        if (!busy && !shell.outputGone()) {
            const DWORD untilDue = output.msUntilDue();
            const DWORD idleWaitMs = idleWaitFor(GetTickCount() - lastBytesTick);
            shell.waitForActivity(state.processInfo.hProcess, untilDue < idleWaitMs ? untilDue : idleWaitMs);
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
    if (!CreatePipe(&state.pipeRead, &state.pipeWrite, &state.securityAttributes, kPipeBufferSize)) {
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
        // Digits written backwards from the end of the buffer.
        char digits[16];
        size_t first = sizeof digits;
        DWORD rest = errorCode;
        do {
            digits[--first] = static_cast<char>('0' + rest % 10);
            rest /= 10;
        } while (rest != 0);
        line.append(sink, kErrorCodeLeadIn, sizeof kErrorCodeLeadIn - 1);
        line.append(sink, digits + first, sizeof digits - first);
    }
    if (message) LocalFree(message);
    return line;
}

DWORD updateIntervalFor(DWORD lastUpdateCostMs)
{
    const DWORD shortest = 25;
    const DWORD longest = 80;
    const DWORD wanted = lastUpdateCostMs * 2;
    return wanted < shortest ? shortest : (wanted > longest ? longest : wanted);
}

DWORD idleWaitFor(DWORD silentForMs)
{
    const DWORD wait = silentForMs / 4;
    return wait < kFirstIdleWaitMs ? kFirstIdleWaitMs : (wait > kLongestIdleWaitMs ? kLongestIdleWaitMs : wait);
}

void BoxSpeed::note(size_t bytes, ULONGLONG microseconds)
{
    // Small updates and ones too quick to time say little about the rate.
    if (bytes >= kSmallestUpdate && microseconds >= 500) {
        const ULONGLONG rate = static_cast<ULONGLONG>(bytes) * 1000u / microseconds;
        if (rate > bestBytesPerMs_) bestBytesPerMs_ = static_cast<size_t>(rate);
    }
    if (bestBytesPerMs_ == 0) return;
    const ULONGLONG sizeMs = bytes / bestBytesPerMs_;
    const ULONGLONG costMs = microseconds / 1000u;
    fixedCostSamplesMs_[fixedCostSampleCount_ % kFixedCostSamples] = costMs > sizeMs ? costMs - sizeMs : 0;
    ++fixedCostSampleCount_;
}

ULONGLONG BoxSpeed::fixedCostMs() const
{
    const int samples = fixedCostSampleCount_ < kFixedCostSamples ? fixedCostSampleCount_ : kFixedCostSamples;
    ULONGLONG least = 0;
    for (int i = 0; i < samples; ++i) {
        if (i == 0 || fixedCostSamplesMs_[i] < least) least = fixedCostSamplesMs_[i];
    }
    return least;
}

ULONGLONG updateTargetMsFor(ULONGLONG fixedCostMs)
{
    const ULONGLONG forNewText = fixedCostMs + fixedCostMs / 2;
    return forNewText > kUpdateTargetMs ? forNewText : kUpdateTargetMs;
}

namespace {

size_t clampedUpdateLimit(ULONGLONG bytes)
{
    if (bytes < kSmallestUpdate) return kSmallestUpdate;
    return bytes > kLargestUpdate ? kLargestUpdate : static_cast<size_t>(bytes);
}

}  // namespace

size_t updateLimitFor(const BoxSpeed& speed)
{
    if (speed.bytesPerMs() == 0) return kSmallestUpdate;
    const ULONGLONG fixedMs = speed.fixedCostMs();
    const ULONGLONG workMs = updateTargetMsFor(fixedMs) - fixedMs;
    return clampedUpdateLimit(static_cast<ULONGLONG>(speed.bytesPerMs()) * workMs);
}

size_t nextUpdateLimit(const BoxSpeed& speed, size_t shown, ULONGLONG costMs)
{
    // A trickle says nothing about how much the box can take at once.
    const ULONGLONG base = shown < kSmallestUpdate ? kSmallestUpdate : shown;
    ULONGLONG limit = updateLimitFor(speed);
    // Grow by doubling at most: a rate learnt from text that was cheap to lay
    // out can be far too high for the text that follows.
    if (limit > 2 * base) limit = 2 * base;
    const ULONGLONG targetMs = updateTargetMsFor(speed.fixedCostMs());
    if (costMs > targetMs) {
        const ULONGLONG scaled = base * targetMs / costMs;
        if (limit > scaled) limit = scaled;
    }
    return clampedUpdateLimit(limit);
}
