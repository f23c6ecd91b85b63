// A child program for the tests and the benchmark. It carries out its
// arguments in order, each one step:
//   out:HEX  err:HEX     write the bytes given in hex to standard output / error
//   outs:TEXT errs:TEXT  write TEXT as it stands
//   text:BYTES           write CRLF text lines (some GBK), BYTES in all, at once
//   lines:BYTES          the same text, one write per line, as most commands do
//   mixed:SEED:MAX       write the hostile raw stream of SEED in random pieces
//   gbk:SEED:MAX         the same with a stream a GBK box keeps byte for byte
//   sleep:MS             wait
//   stdin                read standard input to its end, then write "stdin:N\r\n"
//   spawn:ARGS           start another cmdchild with ARGS (blank-separated),
//                        inheriting the handles, and do not wait for it
//   flood:MS             write lines for MS milliseconds, or until a write fails
//   stamps:N:MS          write N lines "stamp <performance counter>", one every MS ms
//   touch:PATH           create an empty file (a marker the tests look for)
//   tally:PATH           add one line to the file PATH (counts the children run)
//   hang                 wait for ever
//   exit:CODE            end with CODE
//   cmdline              write the command line the program was given, as it stands
//   await:PATH           wait until the file PATH exists, a minute at most
// A failed write ends the program with code 3.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "streams.h"

namespace {

void writeAll(DWORD stream, const char* bytes, size_t count)
{
    const HANDLE handle = GetStdHandle(stream);
    while (count > 0) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes, static_cast<DWORD>(count), &written, nullptr) || written == 0) ExitProcess(3);
        bytes += written;
        count -= written;
    }
}

void writeAll(DWORD stream, const std::string& bytes) { writeAll(stream, bytes.data(), bytes.size()); }

std::string fromHex(const char* hex)
{
    std::string bytes;
    for (size_t i = 0; hex[i] && hex[i + 1]; i += 2) {
        char pair[3] = {hex[i], hex[i + 1], 0};
        bytes += static_cast<char>(std::strtoul(pair, nullptr, 16));
    }
    return bytes;
}

// Writes the stream in pieces of random size with short random pauses, so
// that reads split it at varied places.
void writeInPieces(const std::string& stream, uint64_t seed)
{
    StreamRandom random(seed ^ 0xABCDEFull);
    size_t at = 0;
    while (at < stream.size()) {
        const size_t piece = 1 + random.below(random.below(8) == 0 ? 5000 : 700);
        const size_t count = piece < stream.size() - at ? piece : stream.size() - at;
        writeAll(STD_OUTPUT_HANDLE, stream.data() + at, count);
        at += count;
        if (random.below(16) == 0) Sleep(static_cast<DWORD>(random.below(20)));
    }
}

void writeLineByLine(const std::string& text)
{
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at);
        const size_t next = end == std::string::npos ? text.size() : end + 1;
        writeAll(STD_OUTPUT_HANDLE, text.data() + at, next - at);
        at = next;
    }
}

void readStandardInput()
{
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    unsigned long total = 0;
    char buffer[512];
    DWORD got = 0;
    while (input && input != INVALID_HANDLE_VALUE && ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got)
        total += got;
    writeAll(STD_OUTPUT_HANDLE, "stdin:" + std::to_string(total) + "\r\n");
}

void spawnGrandchild(const char* args)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string commandLine = std::string("\"") + self + "\" " + args;
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    if (CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
}

void flood(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    const std::string line(78, 'f');
    while (GetTickCount() - start < milliseconds) writeAll(STD_OUTPUT_HANDLE, line + "\r\n");
}

void writeStamps(unsigned count, DWORD intervalMs)
{
    for (unsigned i = 0; i < count; ++i) {
        Sleep(intervalMs);
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        writeAll(STD_OUTPUT_HANDLE, "stamp " + std::to_string(now.QuadPart) + "\r\n");
    }
}

const char* after(const char* arg, const char* name)
{
    const size_t length = std::strlen(name);
    return std::strncmp(arg, name, length) == 0 ? arg + length : nullptr;
}

void runStep(const char* arg)
{
    const char* value = nullptr;
    if ((value = after(arg, "out:"))) writeAll(STD_OUTPUT_HANDLE, fromHex(value));
    else if ((value = after(arg, "err:"))) writeAll(STD_ERROR_HANDLE, fromHex(value));
    else if ((value = after(arg, "outs:"))) writeAll(STD_OUTPUT_HANDLE, value, std::strlen(value));
    else if ((value = after(arg, "errs:"))) writeAll(STD_ERROR_HANDLE, value, std::strlen(value));
    else if ((value = after(arg, "text:"))) writeAll(STD_OUTPUT_HANDLE, textLinesStream(std::strtoul(value, nullptr, 10)));
    else if ((value = after(arg, "lines:"))) writeLineByLine(textLinesStream(std::strtoul(value, nullptr, 10)));
    else if ((value = after(arg, "mixed:")) || (value = after(arg, "gbk:"))) {
        char* rest = nullptr;
        const uint64_t seed = std::strtoull(value, &rest, 10);
        const size_t maxSize = std::strtoul(rest + 1, nullptr, 10);
        const StreamKind kind = arg[0] == 'm' ? StreamKind::Raw : StreamKind::Gbk;
        writeInPieces(mixedStream(seed, maxSize, kind), seed);
    }
    else if ((value = after(arg, "sleep:"))) Sleep(std::strtoul(value, nullptr, 10));
    else if (std::strcmp(arg, "stdin") == 0) readStandardInput();
    else if ((value = after(arg, "spawn:"))) spawnGrandchild(value);
    else if ((value = after(arg, "flood:"))) flood(std::strtoul(value, nullptr, 10));
    else if ((value = after(arg, "stamps:"))) {
        char* rest = nullptr;
        const unsigned long count = std::strtoul(value, &rest, 10);
        writeStamps(count, std::strtoul(rest + 1, nullptr, 10));
    }
    else if ((value = after(arg, "touch:"))) {
        const HANDLE file = CreateFileA(value, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    else if ((value = after(arg, "tally:"))) {
        const HANDLE file = CreateFileA(value, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_ALWAYS, 0, nullptr);
        DWORD written = 0;
        if (file != INVALID_HANDLE_VALUE) {
            WriteFile(file, "ran\r\n", 5, &written, nullptr);
            CloseHandle(file);
        }
    }
    else if (std::strcmp(arg, "hang") == 0) Sleep(INFINITE);
    else if (std::strcmp(arg, "cmdline") == 0) writeAll(STD_OUTPUT_HANDLE, GetCommandLineA(), std::strlen(GetCommandLineA()));
    else if ((value = after(arg, "await:"))) for (int i = 0; i < 600 && GetFileAttributesA(value) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
    else if ((value = after(arg, "exit:"))) ExitProcess(static_cast<UINT>(std::strtoul(value, nullptr, 0)));
}

}  // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) runStep(argv[i]);
    return 0;
}
