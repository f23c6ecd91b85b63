#include "app_session.h"

#include <tlhelp32.h>

#include <map>
#include <vector>

namespace {

// Bounds every message sent to the program, so that a hung program fails a
// test instead of stopping the whole run.
constexpr UINT kSendTimeoutMs = 3000;

constexpr char kMessageBoxClass[] = "#32770";
// The static control that holds a message box's text.
constexpr int kMessageBoxTextId = 0xFFFF;

class ProcessSnapshot {
public:
    // Parent of every process running now.
    static std::map<DWORD, DWORD> parents()
    {
        std::map<DWORD, DWORD> result;
        const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snapshot == INVALID_HANDLE_VALUE) return result;
        PROCESSENTRY32 entry;
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
            result[entry.th32ProcessID] = entry.th32ParentProcessID;
        CloseHandle(snapshot);
        return result;
    }
};

void terminateById(DWORD processId)
{
    const HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
    if (!process) return;
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 2000);
    CloseHandle(process);
}

struct TopLevelSearch {
    DWORD processId;
    const char* className;
    std::vector<HWND> found;
};

BOOL CALLBACK collectTopLevel(HWND window, LPARAM context)
{
    auto& search = *reinterpret_cast<TopLevelSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    if (owner == search.processId && IsWindowVisible(window) && lstrcmpA(className, search.className) == 0)
        search.found.push_back(window);
    return TRUE;
}

std::vector<HWND> topLevelWindows(DWORD processId, const char* className)
{
    TopLevelSearch search{processId, className, {}};
    EnumWindows(collectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

bool waitUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - start >= timeoutMs) return done();
        Sleep(20);
    }
}

#ifndef CMDPANE_HOOKS_APP_PATH
#define CMDPANE_HOOKS_APP_PATH ""
#endif

std::string programPath(Program program)
{
    switch (program) {
    case Program::App: return CMDPANE_APP_PATH;
    case Program::HooksApp: return CMDPANE_HOOKS_APP_PATH;
    case Program::Child: return CMDPANE_CHILD_PATH;
    }
    return "";
}

std::string windowsPath(const std::string& path)
{
    if (path.empty() || path[0] != '/') return path;
    std::string result = "Z:" + path;
    for (char& c : result)
        if (c == '/') c = '\\';
    return result;
}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string childCommand(const std::string& steps)
{
    return windowsPath(programPath(Program::Child)) + " " + steps;
}

std::string windowText(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length))
        return "<no answer>";
    std::string text(length + 1, '\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), SMTO_ABORTIFHUNG,
                        kSendTimeoutMs, &copied);
    text.resize(copied);
    return text;
}

std::string messageBoxText(HWND box) { return windowText(GetDlgItem(box, kMessageBoxTextId)); }

bool setWindowText(HWND window, const std::string& text)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                               kSendTimeoutMs, &result) &&
           result;
}

ScopedEnvironment::ScopedEnvironment(const char* name, const char* value) : name_(name), hadPrevious_(false)
{
    char buffer[1024];
    const DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    if (length > 0 && length < sizeof buffer) {
        previous_ = buffer;
        hadPrevious_ = true;
    }
    SetEnvironmentVariableA(name, value);
}

ScopedEnvironment::~ScopedEnvironment()
{
    SetEnvironmentVariableA(name_.c_str(), hadPrevious_ ? previous_.c_str() : nullptr);
}

AppSession::AppSession(const std::string& executable) : executable_(windowsPath(executable))
{
    if (executable_.empty()) return;
    // Started from the Windows folder, so that running in the program's own
    // folder is the program's doing.
    char workingDirectory[MAX_PATH] = "";
    GetWindowsDirectoryA(workingDirectory, MAX_PATH);
    std::string commandLine = "\"" + executable_ + "\"";
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    if (!CreateProcessA(executable_.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        workingDirectory, &startup, &info)) {
        return;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
    threadId_ = info.dwThreadId;
}

AppSession::~AppSession()
{
    endLeftovers();
    if (process_) CloseHandle(process_);
}

void AppSession::endLeftovers()
{
    if (!process_) return;
    trackDescendants();
    if (!hasExited()) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000);
    }
    for (DWORD id : descendants_) terminateById(id);
}

HWND AppSession::waitForMainWindow(DWORD timeoutMs)
{
    if (!process_) return nullptr;
    WaitForInputIdle(process_, timeoutMs);
    waitUntil([&] { return (mainWindow_ = findTopLevel(kMainWindowClass)) != nullptr || hasExited(); }, timeoutMs);
    return mainWindow_;
}

HWND AppSession::control(int id) const { return mainWindow_ ? GetDlgItem(mainWindow_, id) : nullptr; }

HWND AppSession::findTopLevel(const char* className) const
{
    const std::vector<HWND> windows = topLevelWindows(processId_, className);
    return windows.empty() ? nullptr : windows.front();
}

int AppSession::countTopLevel(const char* className) const
{
    return static_cast<int>(topLevelWindows(processId_, className).size());
}

HWND AppSession::waitForMessageBox(DWORD timeoutMs) const
{
    HWND box = nullptr;
    waitUntil([&] { return (box = findTopLevel(kMessageBoxClass)) != nullptr || hasExited(); }, timeoutMs);
    return box;
}

int AppSession::countMessageBoxes() const { return countTopLevel(kMessageBoxClass); }

HWND AppSession::focusedWindow() const
{
    GUITHREADINFO info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(threadId_, &info) ? info.hwndFocus : nullptr;
}

int AppSession::focusedControlId() const
{
    const HWND focus = focusedWindow();
    return focus && GetParent(focus) == mainWindow_ ? GetDlgCtrlID(focus) : 0;
}

bool AppSession::waitForExit(DWORD timeoutMs)
{
    return process_ && WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
}

bool AppSession::hasExited() const { return !process_ || WaitForSingleObject(process_, 0) == WAIT_OBJECT_0; }

DWORD AppSession::exitCode() const
{
    DWORD code = STILL_ACTIVE;
    if (process_) GetExitCodeProcess(process_, &code);
    return code;
}

void AppSession::trackDescendants()
{
    if (!process_) return;
    const std::map<DWORD, DWORD> parents = ProcessSnapshot::parents();
    bool grew = true;
    while (grew) {
        grew = false;
        for (const auto& [child, parent] : parents) {
            const bool parentKnown = parent == processId_ || descendants_.count(parent) > 0;
            if (parentKnown && child != processId_ && descendants_.insert(child).second) grew = true;
        }
    }
}

int AppSession::runningDescendants() const
{
    const std::map<DWORD, DWORD> parents = ProcessSnapshot::parents();
    int running = 0;
    for (DWORD id : descendants_) running += parents.count(id) > 0 ? 1 : 0;
    return running;
}
