#include "endurance_app.h"

#include <fstream>
#include <sstream>

const std::string kStartFailureLeadIn = "\xCE\xDE\xB7\xA8\xC6\xF4\xB6\xAF\xC3\xFC\xC1\xEE\xA3\xBA";

testing::AssertionResult EnduranceApp::startRun(const std::string& command)
{
    if (!setWindowText(commandBox(), command)) return testing::AssertionFailure() << "command box not set";
    if (!setWindowText(outputBox(), kBeforeTheRun)) return testing::AssertionFailure() << "output box not set";
    clickCentreOf(runButton());
    if (!waitUntil([&] { return outputText() != kBeforeTheRun; }, 5000))
        return testing::AssertionFailure() << "the click started no run";
    return testing::AssertionSuccess();
}

testing::AssertionResult EnduranceApp::runToEnd(const std::string& command, DWORD timeoutMs)
{
    const testing::AssertionResult started = startRun(command);
    if (!started) return started;
    if (!waitForNoChildren(timeoutMs))
        return testing::AssertionFailure() << "the interpreter still runs after " << timeoutMs << " ms";
    return testing::AssertionSuccess();
}

bool EnduranceApp::waitForNoChildren(DWORD timeoutMs)
{
    const DWORD app = app_->processId();
    return waitUntil([&] { return countLiveDescendants(app) == 0 && (Sleep(50), countLiveDescendants(app) == 0); },
                     timeoutMs);
}

bool EnduranceApp::windowAnswers(DWORD timeoutMs) const
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(mainWindow(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result) != 0;
}

void EnduranceApp::expectTheNextRunWorks()
{
    ASSERT_TRUE(runToEnd("echo next"));
    EXPECT_EQ(settledOutput("next\r\n"), "next\r\n");
}

std::string firstDifference(const std::string& actual, const std::string& expected)
{
    size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
    return "first difference at byte " + std::to_string(at) + " of " + std::to_string(expected.size()) +
           " expected (" + std::to_string(actual.size()) + " shown)";
}

ScratchFile::ScratchFile(const char* stem)
{
    char folder[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, folder);
    static int made = 0;
    path_ = std::string(folder) + stem + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++made) + ".txt";
    DeleteFileA(path_.c_str());
}

ScratchFile::~ScratchFile() { DeleteFileA(path_.c_str()); }

bool ScratchFile::exists() const { return GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ScratchFile::contents() const
{
    std::ifstream file(path_, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}
