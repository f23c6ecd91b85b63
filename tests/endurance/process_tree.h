#pragma once
// The processes running now, seen through a system snapshot: who started
// whom and under which executable name.
#include <windows.h>

#include <string>
#include <vector>

struct ProcessEntry {
    DWORD id;
    DWORD parentId;
    std::string exeName;  // lower case, without folder
};

std::vector<ProcessEntry> runningProcesses();

// The live processes started by `rootId`, and by those, and so on. A process
// whose parent has already ended is no longer found this way.
std::vector<ProcessEntry> liveDescendants(DWORD rootId);
int countLiveDescendants(DWORD rootId);

// The first live descendant of `rootId` running `exeName`; 0 when none.
DWORD findDescendant(DWORD rootId, const std::string& exeName);

bool isRunning(DWORD processId);

// Ends a process by id and waits briefly for it to go.
void terminateProcessById(DWORD processId);

// An owned process handle.
class ProcessHandle {
public:
    ProcessHandle(DWORD processId, DWORD access);
    ~ProcessHandle();
    ProcessHandle(const ProcessHandle&) = delete;
    ProcessHandle& operator=(const ProcessHandle&) = delete;

    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    HANDLE handle_;
};
