#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#include "gui_fixture.h"

namespace {

using CommandRun = RunningApp;

std::string lowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// A file in the temporary folder, removed when the object goes away.
class TemporaryFile {
public:
    explicit TemporaryFile(const char* name)
    {
        char folder[MAX_PATH] = "";
        GetTempPathA(MAX_PATH, folder);
        path_ = std::string(folder) + name + std::to_string(GetCurrentProcessId()) + ".txt";
        DeleteFileA(path_.c_str());
    }
    ~TemporaryFile() { DeleteFileA(path_.c_str()); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::string& path() const { return path_; }
    std::string contents() const
    {
        std::ifstream file(path_, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

private:
    std::string path_;
};

size_t countOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

TEST_F(CommandRun, ClickOnTheRunButtonShowsTheListingOfTheDefaultCommand)
{
    ASSERT_EQ(windowText(commandBox()), kDefaultCommand);
    clickCentreOf(runButton());
    EXPECT_TRUE(waitUntil([&] { return lowerCase(outputText()).find("windows") != std::string::npos; },
                          kRunTimeoutMs))
        << "output: " << outputText();
}

TEST_F(CommandRun, CommandsRunInTheExecutablesFolder)
{
    ASSERT_TRUE(setWindowText(commandBox(), "cd"));
    clickCentreOf(runButton());
    const std::string expected = folderOf(app().executable()) + "\r\n";
    waitUntil([&] { return lowerCase(outputText()) == lowerCase(expected); }, kRunTimeoutMs);
    EXPECT_EQ(lowerCase(outputText()), lowerCase(expected));
}

TEST_F(CommandRun, TypedTextStaysAndTheNextChunkGoesToTheEndNotTheCaret)
{
    ASSERT_TRUE(setWindowText(commandBox(), childCommand("outs:A sleep:3000 outs:B")));
    clickCentreOf(runButton());
    ASSERT_TRUE(waitUntil([&] { return outputText() == "A"; }, kRunTimeoutMs)) << outputText();

    // Caret at the start of the box, so that text added at the caret would
    // land before "A" rather than at the end.
    clickCentreOf(outputBox());
    ASSERT_TRUE(waitUntil([&] { return app().focusedControlId() == kOutputBoxId; }, 2000));
    pressKey(VK_HOME, {VK_CONTROL});
    typeKeys("xyz");
    ASSERT_TRUE(waitUntil([&] { return outputText() == "xyzA"; }, 2000))
        << "typed text not in the box before the second chunk: " << outputText();

    EXPECT_EQ(settledOutput("xyzAB"), "xyzAB");
}

TEST_F(CommandRun, TypingIntoTheCommandBoxDuringARunLeavesTheRunAlone)
{
    const std::string command = childCommand("outs:A sleep:3000 outs:B");
    ASSERT_TRUE(setWindowText(commandBox(), command));
    clickCentreOf(runButton());
    ASSERT_TRUE(waitUntil([&] { return outputText() == "A"; }, kRunTimeoutMs)) << outputText();

    clickCentreOf(commandBox());
    ASSERT_TRUE(waitUntil([&] { return app().focusedControlId() == kCommandBoxId; }, 2000));
    pressKey(VK_END);
    typeKeys(" zz");
    EXPECT_TRUE(waitUntil([&] { return windowText(commandBox()) == command + " zz"; }, 2000))
        << windowText(commandBox());

    EXPECT_EQ(settledOutput("AB"), "AB");
}

TEST_F(CommandRun, ClickDuringARunStartsNoSecondRun)
{
    TemporaryFile tally("cmdpane_tally_");
    ASSERT_TRUE(setWindowText(commandBox(), childCommand("tally:" + tally.path() + " outs:MARK sleep:2500 outs:END")));
    clickCentreOf(runButton());
    ASSERT_TRUE(waitUntil([&] { return outputText() == "MARK"; }, kRunTimeoutMs))
        << "[" << outputText() << "], focus on control " << app().focusedControlId();
    app().trackDescendants();
    clickCentreOf(runButton());

    EXPECT_EQ(settledOutput("MARKEND"), "MARKEND");
    ASSERT_TRUE(waitUntil([&] { return app().runningDescendants() == 0; }, kRunTimeoutMs));
    Sleep(kNothingHappensMs);
    EXPECT_EQ(countOf(tally.contents(), "ran"), 1u);
    EXPECT_EQ(outputText(), "MARKEND");

    // Once the run is over, the button runs again.
    clickCentreOf(runButton());
    EXPECT_TRUE(waitUntil([&] { return countOf(tally.contents(), "ran") == 2; }, kRunTimeoutMs));
    EXPECT_EQ(settledOutput("MARKEND"), "MARKEND");
}

}  // namespace
