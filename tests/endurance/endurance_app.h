#pragma once
// The real program, started as its own process and driven by real input,
// with what the endurance tests need on top: runs awaited to their end,
// the program's child processes, and the window's answer time.
#include <string>

#include "gui_fixture.h"
#include "process_tree.h"

// "无法启动命令：" in GBK.
extern const std::string kStartFailureLeadIn;
// What the output box is given before a run, which the run empties at once.
constexpr char kBeforeTheRun[] = "<before the run>";

class EnduranceApp : public RunningApp {
protected:
    // Puts `command` into the command box, clicks the run button and waits
    // until the run has started and the interpreter has ended. The last
    // output may still be on its way to the box.
    testing::AssertionResult runToEnd(const std::string& command, DWORD timeoutMs = kRunTimeoutMs);
    // Clicks the run button and waits until the run has emptied the box.
    testing::AssertionResult startRun(const std::string& command);
    // True when no process started by the program is running, twice in a row.
    bool waitForNoChildren(DWORD timeoutMs);
    // True when the window answers a message within `timeoutMs`.
    bool windowAnswers(DWORD timeoutMs = 500) const;
    // A run after the one before gives its output: the one before has ended.
    void expectTheNextRunWorks();
};

// Where two texts first differ, for failure messages.
std::string firstDifference(const std::string& actual, const std::string& expected);

// A file name in the temporary folder, removed when the object goes away.
class ScratchFile {
public:
    explicit ScratchFile(const char* stem);
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::string& path() const { return path_; }
    bool exists() const;
    std::string contents() const;

private:
    std::string path_;
};
