#include "drain.h"

#include <chrono>
#include <cstring>

#include "run_state.h"

namespace {

struct NoAllocationFailure : FatalErrorSink {
    [[noreturn]] void allocationFailed(size_t) override { ExitProcess(2); }
};

}  // namespace

DrainResult drainCommand(const std::string& commandText)
{
    NoAllocationFailure sink;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    DrainResult result;
    const auto started = std::chrono::steady_clock::now();
    if (!CreatePipe(&readEnd, &writeEnd, &attributes, kPipeBufferSize)) return result;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process;
    std::memset(&process, 0, sizeof process);
    OwnedText line = buildCommandLine(sink, commandText.c_str());
    const OwnedText application = interpreterPath(sink, queryOsFamily());
    const BOOL ok = CreateProcessA(application.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                   &startup, &process);
    CloseHandle(writeEnd);
    if (ok) {
        char buffer[1024];
        for (;;) {
            DWORD waiting = 0;
            if (!PeekNamedPipe(readEnd, nullptr, 0, nullptr, &waiting, nullptr)) break;
            if (waiting == 0) {
                if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) {
                    if (!PeekNamedPipe(readEnd, nullptr, 0, nullptr, &waiting, nullptr) || waiting == 0) break;
                } else {
                    Sleep(0);
                    continue;
                }
            }
            DWORD got = 0;
            if (!ReadFile(readEnd, buffer, 1023, &got, nullptr)) break;
            result.bytes += got;
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(readEnd);
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return result;
}
