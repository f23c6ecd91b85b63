#include "process_tree.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cctype>
#include <set>

namespace {

std::string lowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

class Snapshot {
public:
    Snapshot() : handle_(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)) {}
    ~Snapshot()
    {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    Snapshot(const Snapshot&) = delete;
    Snapshot& operator=(const Snapshot&) = delete;

    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

}  // namespace

std::vector<ProcessEntry> runningProcesses()
{
    std::vector<ProcessEntry> processes;
    const Snapshot snapshot;
    if (snapshot.get() == INVALID_HANDLE_VALUE) return processes;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry))
        processes.push_back({entry.th32ProcessID, entry.th32ParentProcessID, lowerCase(entry.szExeFile)});
    return processes;
}

std::vector<ProcessEntry> liveDescendants(DWORD rootId)
{
    const std::vector<ProcessEntry> all = runningProcesses();
    std::set<DWORD> known = {rootId};
    std::vector<ProcessEntry> found;
    for (bool grew = true; grew;) {
        grew = false;
        for (const ProcessEntry& process : all) {
            if (known.count(process.parentId) && !known.count(process.id)) {
                known.insert(process.id);
                found.push_back(process);
                grew = true;
            }
        }
    }
    return found;
}

int countLiveDescendants(DWORD rootId) { return static_cast<int>(liveDescendants(rootId).size()); }

DWORD findDescendant(DWORD rootId, const std::string& exeName)
{
    for (const ProcessEntry& process : liveDescendants(rootId))
        if (process.exeName == lowerCase(exeName)) return process.id;
    return 0;
}

bool isRunning(DWORD processId)
{
    const ProcessHandle process(processId, SYNCHRONIZE);
    return process && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

void terminateProcessById(DWORD processId)
{
    const ProcessHandle process(processId, PROCESS_TERMINATE | SYNCHRONIZE);
    if (!process) return;
    TerminateProcess(process.get(), 1);
    WaitForSingleObject(process.get(), 2000);
}

ProcessHandle::ProcessHandle(DWORD processId, DWORD access) : handle_(OpenProcess(access, FALSE, processId)) {}

ProcessHandle::~ProcessHandle()
{
    if (handle_) CloseHandle(handle_);
}
