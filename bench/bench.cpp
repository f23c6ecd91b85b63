// Measures the program side by side with the transport limit, and prints one
// summary line at the end:
//   bench: ratio_64k=R ratio_1m=R ratio_8m=R max_gap_ms=N idle_cpu_pct=P latency_ms=N peak_mb_8m=N
// Usage: cmdpane_bench.exe <path of cmdchild.exe>
// With CMDPANE_BENCH_TRACE set it also prints every update of the box.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "command_run.h"
#include "drain.h"
#include "main_window.h"
#include "run_state.h"
#include "streams.h"
#include "window_runner_shell.h"

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsBetween(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// The real window's operations, watched: the gaps between two calls of
// processPendingEvents, and the delay from a stamped line's write to its
// arrival in the box.
class MeasuringShell final : public RunnerShell {
public:
    OwnedText readCommandText() override { return real_.readCommandText(); }
    OwnedText readOutputText() override { return real_.readOutputText(); }
    void writeOutputText(const char* text) override { real_.writeOutputText(text); }
    void processPendingEvents() override
    {
        const Clock::time_point now = Clock::now();
        if (sawEvents_) {
            const double gapMs = millisecondsBetween(lastEvents_, now);
            maxGapMs_ = std::max(maxGapMs_, gapMs);
            if (traceUpdates_ && gapMs > 100) {
                std::printf("gap: %.1f ms, of which %.1f ms in updates\n", gapMs, updatesInGapMs_);
            }
        }
        updatesInGapMs_ = 0;
        sawEvents_ = true;
        real_.processPendingEvents();
        lastEvents_ = Clock::now();
        eventsMs_ += millisecondsBetween(now, lastEvents_);
    }
    void appendOutputText(const char* text, size_t length) override
    {
        const Clock::time_point before = Clock::now();
        real_.appendOutputText(text, length);
        const double updateMs = millisecondsBetween(before, Clock::now());
        updatesMs_ += updateMs;
        updatesInGapMs_ += updateMs;
        if (traceUpdates_) {
            std::printf("update: %zu bytes in %.1f ms, at %.1f ms\n", length, updateMs,
                        millisecondsBetween(runStarted_, before));
        }
        noteStamps(text);
    }
    bool outputGone() override { return real_.outputGone(); }
    void waitForActivity(HANDLE process, DWORD timeoutMs) override { real_.waitForActivity(process, timeoutMs); }
    [[noreturn]] void allocationFailed(size_t bytes) override { real_.allocationFailed(bytes); }

    void startRun()
    {
        runStarted_ = Clock::now();
        sawEvents_ = false;
        maxGapMs_ = 0;
        updatesMs_ = 0;
        eventsMs_ = 0;
        latenciesMs_.clear();
    }
    double maxGapMs() const { return maxGapMs_; }
    // Time spent in the box's updates and in event processing since startRun.
    double updatesMs() const { return updatesMs_; }
    double eventsMs() const { return eventsMs_; }
    double medianLatencyMs()
    {
        if (latenciesMs_.empty()) return -1;
        std::sort(latenciesMs_.begin(), latenciesMs_.end());
        return latenciesMs_[latenciesMs_.size() / 2];
    }

private:
    void noteStamps(const char* text)
    {
        LARGE_INTEGER now, frequency;
        QueryPerformanceCounter(&now);
        QueryPerformanceFrequency(&frequency);
        for (const char* p = std::strstr(text, "stamp "); p; p = std::strstr(p + 6, "stamp ")) {
            const long long written = std::strtoll(p + 6, nullptr, 10);
            latenciesMs_.push_back(double(now.QuadPart - written) * 1000.0 / double(frequency.QuadPart));
        }
    }

    WindowRunnerShell real_;
    const bool traceUpdates_ = std::getenv("CMDPANE_BENCH_TRACE") != nullptr;
    bool sawEvents_ = false;
    Clock::time_point runStarted_;
    Clock::time_point lastEvents_;
    double maxGapMs_ = 0;
    double updatesMs_ = 0;
    double eventsMs_ = 0;
    double updatesInGapMs_ = 0;
    std::vector<double> latenciesMs_;
};

struct ProgramRun {
    double seconds;
    size_t boxBytes;
    double maxGapMs;
    double updatesSeconds;
    double eventsSeconds;
};

ProgramRun runThroughWindow(MeasuringShell& shell, const std::string& command)
{
    SetWindowTextA(mainWindow().commandBox, command.c_str());
    shell.startRun();
    const Clock::time_point started = Clock::now();
    runButtonClicked(shell);
    const double seconds = millisecondsBetween(started, Clock::now()) / 1000.0;
    const size_t boxBytes = static_cast<size_t>(GetWindowTextLengthA(mainWindow().outputBox));
    return {seconds, boxBytes, shell.maxGapMs(), shell.updatesMs() / 1000.0, shell.eventsMs() / 1000.0};
}

double workingSetMb(bool peak)
{
    PROCESS_MEMORY_COUNTERS counters;
    std::memset(&counters, 0, sizeof counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return double(peak ? counters.PeakWorkingSetSize : counters.WorkingSetSize) / (1024.0 * 1024.0);
}

unsigned long long asNumber(const FILETIME& time)
{
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// The whole machine's busy time, in 100 ns units summed over its processors.
unsigned long long machineBusyTime()
{
    FILETIME idle, kernel, user;
    GetSystemTimes(&idle, &kernel, &user);
    return asNumber(kernel) + asNumber(user) - asNumber(idle);
}

// The machine's busy time while `work` runs, as a share of one processor.
template <typename Work>
double busyPercentOfOneProcessor(Work work)
{
    const unsigned long long busyBefore = machineBusyTime();
    const Clock::time_point started = Clock::now();
    work();
    const double elapsed100ns = millisecondsBetween(started, Clock::now()) * 10000.0;
    return double(machineBusyTime() - busyBefore) / elapsed100ns * 100.0;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string quoted(const std::string& path) { return "\"" + path + "\""; }

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: cmdpane_bench <cmdchild.exe>\n");
        return 2;
    }
    const std::string child = quoted(argv[1]);
    MeasuringShell shell;
    initRunState(shell);
    if (!createMainWindow()) {
        std::fprintf(stderr, "bench: the main window cannot be created\n");
        return 1;
    }
    ShowWindow(mainWindow().window, SW_SHOW);
    shell.processPendingEvents();
    const double idleMb = workingSetMb(false);
    std::printf("idle working set: %.1f MB\n", idleMb);

    // Each size is measured in several rounds, transport and program side by
    // side in each; the ratio is that of the medians, since a run of a
    // second or less under Wine can lose a tenth of a second to starting
    // processes alone.
    struct Size {
        const char* name;
        size_t bytes;
        int rounds;
        double ratio;
    } sizes[] = {{"64k", 64 * 1024, 5, 0}, {"1m", 1024 * 1024, 3, 0}, {"8m", 8 * 1024 * 1024, 3, 0}};
    double maxGapMs = 0;
    double peak8mMb = 0;
    bool allWhole = true;
    for (Size& size : sizes) {
        const std::string command = child + " lines:" + std::to_string(size.bytes);
        std::vector<double> transportSeconds, programSeconds;
        for (int round = 0; round < size.rounds; ++round) {
            const DrainResult drained = drainCommand(command);
            const ProgramRun run = runThroughWindow(shell, command);
            transportSeconds.push_back(drained.seconds);
            programSeconds.push_back(run.seconds);
            maxGapMs = std::max(maxGapMs, run.maxGapMs);
            const double peakMb = workingSetMb(true) - idleMb;
            if (size.bytes == 8 * 1024 * 1024) peak8mMb = peakMb;
            const bool whole = run.boxBytes == size.bytes && drained.bytes == size.bytes;
            allWhole = allWhole && whole;
            std::printf("%-4s transport %7.3f s  program %7.3f s  ratio %5.2f  longest gap %6.1f ms  "
                        "peak %6.1f MB above idle  %s\n",
                        size.name, drained.seconds, run.seconds, run.seconds / drained.seconds, run.maxGapMs, peakMb,
                        whole ? "whole" : "INCOMPLETE");
            std::printf("     of the program's time: updates of the box %.3f s, event processing %.3f s\n",
                        run.updatesSeconds, run.eventsSeconds);
            shell.writeOutputText("");
        }
        const double transport = median(transportSeconds);
        const double program = median(programSeconds);
        size.ratio = program / transport;
        std::printf("%-4s median of %d: transport %7.3f s  program %7.3f s  ratio %5.2f\n", size.name, size.rounds,
                    transport, program, size.ratio);
    }

    // The machine's own background varies from one 5 s window to the next:
    // three rounds, each a quiet window beside a silent child's, and the
    // median of their differences.
    std::vector<double> idleShares;
    for (int round = 0; round < 3; ++round) {
        const double baselinePct = busyPercentOfOneProcessor([] { Sleep(5000); });
        const double silentPct =
            busyPercentOfOneProcessor([&] { runThroughWindow(shell, child + " sleep:5000"); });
        idleShares.push_back(silentPct - baselinePct);
        std::printf("silent child, 5 s: machine busy %.2f %% of one processor (%.2f %% with nothing running)\n",
                    silentPct, baselinePct);
    }
    const double idlePct = std::max(0.0, median(idleShares));

    runThroughWindow(shell, child + " stamps:20:100");
    const double latencyMs = shell.medianLatencyMs();
    std::printf("median delay from a line's write to the box: %.1f ms\n", latencyMs);

    DestroyWindow(mainWindow().window);
    releaseRunState();
    std::printf("bench: ratio_64k=%.2f ratio_1m=%.2f ratio_8m=%.2f max_gap_ms=%.0f idle_cpu_pct=%.2f "
                "latency_ms=%.0f peak_mb_8m=%.0f\n",
                sizes[0].ratio, sizes[1].ratio, sizes[2].ratio, maxGapMs, idlePct, latencyMs, peak8mMb);
    return allWhole ? 0 : 1;
}
