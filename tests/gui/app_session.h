#pragma once
// Starts the program under test and watches it from outside, the way a user
// and the system see it: its windows, its texts, its focus, its exit code.
#include <windows.h>

#include <functional>
#include <set>
#include <string>

// Control identifiers of the main window.
constexpr int kOutputBoxId = 100;
constexpr int kRunButtonId = 110;
constexpr int kCommandBoxId = 120;

constexpr char kMainWindowClass[] = "CmdpaneMainWindow";

// Polls `done` every few milliseconds until it holds or `timeoutMs` passes.
bool waitUntil(const std::function<bool()>& done, DWORD timeoutMs);

enum class Program { App, HooksApp, Child };
// Where the build put a program under test; empty when it was not built.
std::string programPath(Program program);

// "/work/x/y.exe" as Wine's Z: drive sees it; Windows paths stay as they are.
std::string windowsPath(const std::string& path);

// The folder part of a path, without the trailing backslash.
std::string folderOf(const std::string& path);

// The child program's command line for `steps` (see tests/child/cmdchild.cpp).
std::string childCommand(const std::string& steps);

// The text of a window of another process, read with WM_GETTEXT.
std::string windowText(HWND window);
// The text of a message box.
std::string messageBoxText(HWND box);
bool setWindowText(HWND window, const std::string& text);

// Sets an environment variable of this process (inherited by what it starts)
// for the lifetime of the object.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::string previous_;
    bool hadPrevious_;
};

// One started instance of the program. Whatever is still running of it (the
// program, and the interpreters and children it started) is ended when the
// object goes away, so a failed test leaves nothing behind.
class AppSession {
public:
    // Starts `executable` with a working directory other than its own folder.
    explicit AppSession(const std::string& executable);
    ~AppSession();
    AppSession(const AppSession&) = delete;
    AppSession& operator=(const AppSession&) = delete;

    bool started() const { return process_ != nullptr; }
    const std::string& executable() const { return executable_; }
    DWORD processId() const { return processId_; }

    // Waits for the main window to be shown; null when it did not appear.
    HWND waitForMainWindow(DWORD timeoutMs = 10000);
    HWND mainWindow() const { return mainWindow_; }
    HWND control(int id) const;

    // A visible top-level window of this process with that class, or null.
    HWND findTopLevel(const char* className) const;
    int countTopLevel(const char* className) const;

    // Waits for a message box of the program (its fatal error report) until
    // it shows or the program has ended; null when none showed.
    HWND waitForMessageBox(DWORD timeoutMs = 10000) const;
    int countMessageBoxes() const;

    // The window that has the keyboard focus in the program's GUI thread.
    HWND focusedWindow() const;
    int focusedControlId() const;

    bool waitForExit(DWORD timeoutMs);
    bool hasExited() const;
    DWORD exitCode() const;

    // Notes the processes started by the program (and by those) that are
    // running now, so that they can be ended at the end even after their
    // parents are gone.
    void trackDescendants();
    // How many of the tracked processes are still running.
    int runningDescendants() const;

private:
    void endLeftovers();

    std::string executable_;
    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
    DWORD threadId_ = 0;
    HWND mainWindow_ = nullptr;
    std::set<DWORD> descendants_;
};
