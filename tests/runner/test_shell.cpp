#include "test_shell.h"

#include <cstdint>
#include <cstdlib>

#include "command_run.h"

void TestShell::limitRunTime(DWORD limitMs)
{
    runStartTick_ = GetTickCount();
    runLimitMs_ = limitMs;
    ranOutOfTime_ = false;
}

OwnedText TestShell::readCommandText() { return OwnedText::copyOf(*this, commandText.data(), commandText.size()); }

OwnedText TestShell::readOutputText() { return OwnedText::copyOf(*this, outputText.data(), outputText.size()); }

void TestShell::writeOutputText(const char* text)
{
    if (gone) ++writesAfterGone;
    outputText = text;
}

void TestShell::appendOutputText(const char* text, size_t length)
{
    if (gone) ++writesAfterGone;
    outputText.append(text, length);
    appendedPieces.emplace_back(text, length);
}

void TestShell::processPendingEvents()
{
    ++pendingEventCalls;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE) && message.message != WM_QUIT) {
        PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (onPendingEvents) onPendingEvents();
    if (runLimitMs_ != 0 && GetTickCount() - runStartTick_ > runLimitMs_) {
        ranOutOfTime_ = true;
        gone = true;
    }
}

void TestShell::waitForActivity(HANDLE process, DWORD timeoutMs)
{
    MsgWaitForMultipleObjectsEx(1, &process, timeoutMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

void TestShell::allocationFailed(size_t requestedBytes) { throw AllocationFailure{requestedBytes}; }

void RunStateTest::SetUp() { initRunState(shell); }

void RunStateTest::TearDown() { releaseRunState(); }

void RunStateTest::run(const std::string& command, DWORD limitMs)
{
    shell.commandText = command;
    shell.gone = false;
    shell.writesAfterGone = 0;
    shell.limitRunTime(limitMs);
    runButtonClicked(shell);
    shell.limitRunTime(0);
    EXPECT_FALSE(shell.ranOutOfTime()) << "the run of " << command << " did not end within " << limitMs << " ms";
}

std::string childProgram()
{
    const char* path = std::getenv("CMDPANE_CHILD");
    if (!path || !*path) {
        ADD_FAILURE() << "CMDPANE_CHILD is not set";
        return "cmdchild.exe";
    }
    std::string windowsPath = path;
    if (windowsPath[0] == '/') windowsPath = "Z:" + windowsPath;  // a Unix path seen through Wine's drive Z:
    for (char& c : windowsPath)
        if (c == '/') c = '\\';
    return "\"" + windowsPath + "\"";
}

std::string childCommand(const std::string& steps) { return childProgram() + " " + steps; }

bool piecesKeepGbkPairsWhole(const std::vector<std::string>& pieces)
{
    bool pairOpen = false;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (pairOpen) return false;  // the piece before ended on a lead byte
        for (const char c : pieces[i]) {
            const unsigned char byte = static_cast<unsigned char>(c);
            pairOpen = !pairOpen && byte >= 0x81 && byte <= 0xFE;
        }
    }
    return true;
}

int countOpenHandles()
{
    int open = 0;
    for (uintptr_t value = 4; value <= 0x4000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++open;
    }
    return open;
}

ScratchFolder::ScratchFolder()
{
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(sizeof temp, temp);
    static int made = 0;
    path_ = std::string(temp) + "cmdpane-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++made);
    if (!CreateDirectoryA(path_.c_str(), nullptr)) ADD_FAILURE() << "cannot create " << path_;
}

ScratchFolder::~ScratchFolder()
{
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(file("*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA(file(found.cFileName).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path_.c_str());
}

bool fileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
