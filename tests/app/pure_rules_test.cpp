#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "folder_text.h"
#include "key_rules.h"
#include "main_window.h"
#include "single_line_box.h"
#include "program_shell.h"
#include "word_breaks.h"

namespace {

const char* nameOf(KeyTarget target)
{
    switch (target) {
    case KeyTarget::OutputBox: return "output box";
    case KeyTarget::RunButton: return "run button";
    case KeyTarget::CommandBox: return "command box";
    case KeyTarget::MainWindow: return "main window";
    }
    return "?";
}

TEST(KeyRules, DecideWhatEachKeyDoes)
{
    const bool no = false, yes = true;
    const struct {
        unsigned key;
        bool ctrl, shift, alt;
        KeyTarget target;
        KeyAction expected;
    } cases[] = {
        {VK_TAB, no, no, no, KeyTarget::OutputBox, KeyAction::FocusNext},
        {VK_TAB, no, no, no, KeyTarget::RunButton, KeyAction::FocusNext},
        {VK_TAB, no, no, no, KeyTarget::CommandBox, KeyAction::FocusNext},
        {VK_TAB, no, yes, no, KeyTarget::OutputBox, KeyAction::FocusPrevious},
        {VK_TAB, no, yes, no, KeyTarget::CommandBox, KeyAction::FocusPrevious},
        // A Tab aimed at the window itself is eaten and moves nothing.
        {VK_TAB, no, no, no, KeyTarget::MainWindow, KeyAction::Swallow},
        {VK_TAB, no, yes, no, KeyTarget::MainWindow, KeyAction::Swallow},
        // Tab with Ctrl or Alt held is not the window's.
        {VK_TAB, yes, no, no, KeyTarget::OutputBox, KeyAction::PassOn},
        {VK_TAB, yes, yes, no, KeyTarget::CommandBox, KeyAction::PassOn},
        {VK_TAB, no, no, yes, KeyTarget::RunButton, KeyAction::PassOn},
        {VK_TAB, no, yes, yes, KeyTarget::RunButton, KeyAction::PassOn},
        {VK_ESCAPE, no, no, no, KeyTarget::OutputBox, KeyAction::CloseWindow},
        {VK_ESCAPE, no, no, no, KeyTarget::RunButton, KeyAction::CloseWindow},
        {VK_ESCAPE, no, no, no, KeyTarget::CommandBox, KeyAction::CloseWindow},
        {VK_ESCAPE, no, no, no, KeyTarget::MainWindow, KeyAction::CloseWindow},
        {VK_ESCAPE, yes, no, no, KeyTarget::OutputBox, KeyAction::PassOn},
        {VK_ESCAPE, no, yes, no, KeyTarget::OutputBox, KeyAction::PassOn},
        {VK_ESCAPE, no, no, yes, KeyTarget::OutputBox, KeyAction::PassOn},
        // Enter never runs the command nor moves the focus: it reaches the control.
        {VK_RETURN, no, no, no, KeyTarget::OutputBox, KeyAction::PassOn},
        {VK_RETURN, no, no, no, KeyTarget::CommandBox, KeyAction::PassOn},
        {VK_RETURN, no, no, no, KeyTarget::RunButton, KeyAction::PassOn},
        {VK_RETURN, yes, no, no, KeyTarget::CommandBox, KeyAction::PassOn},
        {VK_SPACE, no, no, no, KeyTarget::RunButton, KeyAction::PassOn},
        {VK_F4, no, no, yes, KeyTarget::MainWindow, KeyAction::PassOn},
        {'A', no, no, no, KeyTarget::CommandBox, KeyAction::PassOn},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "key " << c.key << " ctrl " << c.ctrl << " shift " << c.shift << " alt "
                                        << c.alt << " in " << nameOf(c.target));
        EXPECT_EQ(keyActionFor(KeyPress{c.key, c.ctrl, c.shift, c.alt}, c.target), c.expected);
    }
}

TEST(KeyRules, TabOrderCyclesBothWays)
{
    const KeyTarget order[] = {KeyTarget::OutputBox, KeyTarget::RunButton, KeyTarget::CommandBox};
    EXPECT_EQ(kFirstInTabOrder, KeyTarget::OutputBox);
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(nameOf(order[i]));
        EXPECT_EQ(nextInTabOrder(order[i]), order[(i + 1) % 3]);
        EXPECT_EQ(previousInTabOrder(order[i]), order[(i + 2) % 3]);
    }
    EXPECT_EQ(nextInTabOrder(KeyTarget::MainWindow), KeyTarget::MainWindow);
    EXPECT_EQ(previousInTabOrder(KeyTarget::MainWindow), KeyTarget::MainWindow);
}

std::string folderOf(const std::string& path, UINT codePage)
{
    return path.substr(0, folderLengthOfPath(path.c_str(), codePage));
}

TEST(FolderText, CutsBeforeTheLastRealBackslash)
{
    const UINT gbk = 936, western = 1252;
    const std::string longFolder = "C:\\" + std::string(150, 'a') + "\\" + std::string(150, 'b');
    const struct {
        const char* what;
        std::string path;
        UINT codePage;
        std::string folder;
    } cases[] = {
        {"plain", "C:\\tools\\cmdpane.exe", gbk, "C:\\tools"},
        // 0xB1 0x5C is one GBK character; its trail byte is no backslash.
        {"trail byte 0x5C", "C:\\\xB1\x5C\\a.exe", gbk, "C:\\\xB1\x5C"},
        {"trail byte 0x5C last", "C:\\dir\\\xB1\x5C.exe", gbk, "C:\\dir"},
        {"same bytes, single-byte code page", "C:\\dir\\\xB1\x5C.exe", western, "C:\\dir\\\xB1"},
        {"drive root", "C:\\cmdpane.exe", gbk, "C:\\"},
        {"root of the current drive", "\\cmdpane.exe", gbk, "\\"},
        {"network share", "\\\\server\\share\\cmdpane.exe", gbk, "\\\\server\\share"},
        {"no backslash", "cmdpane.exe", gbk, ""},
        {"empty", "", gbk, ""},
        {"lone lead byte at the end", "C:\\dir\\a\xB1", gbk, "C:\\dir"},
        {"longer than 259 characters", longFolder + "\\cmdpane.exe", gbk, longFolder},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(folderOf(c.path, c.codePage), c.folder);
    }
}

TEST(FatalMessages, AllocationFailureNamesTheSize)
{
    char message[128];
    formatAllocationFailure(message, sizeof message, 1024);
    EXPECT_STREQ(message, "\xC4\xDA\xB4\xE6\xB2\xBB\xD7\xE3\xA3\xAC\xCE\xDE\xB7\xA8\xB7\xD6\xC5\xE4 1024 \xD7\xD6\xBD\xDA");

    formatAllocationFailure(message, sizeof message, 0);
    EXPECT_NE(std::strstr(message, " 0 "), nullptr);
    formatAllocationFailure(message, sizeof message, static_cast<size_t>(-1));
    EXPECT_NE(std::strstr(message, sizeof(size_t) == 8 ? " 18446744073709551615 " : " 4294967295 "), nullptr);

    char tight[8];
    formatAllocationFailure(tight, sizeof tight, 123456789);
    EXPECT_EQ(std::strlen(tight), sizeof tight - 1);
}

TEST(SingleLineBox, EditingAreaIsOneCentredLine)
{
    const struct {
        RECT proposed;
        int lineHeight;
        RECT expected;
    } cases[] = {
        {{2, 2, 302, 22}, 19, {2, 2, 302, 21}},
        {{2, 2, 302, 22}, 16, {2, 4, 302, 20}},
        {{0, 10, 50, 40}, 10, {0, 20, 50, 30}},
        // Less room than a line: the room stays as it is.
        {{2, 2, 302, 12}, 19, {2, 2, 302, 12}},
    };
    for (const auto& c : cases) {
        const RECT line = centredLine(c.proposed, c.lineHeight);
        SCOPED_TRACE(testing::Message() << "line height " << c.lineHeight);
        EXPECT_EQ(line.left, c.expected.left);
        EXPECT_EQ(line.top, c.expected.top);
        EXPECT_EQ(line.right, c.expected.right);
        EXPECT_EQ(line.bottom, c.expected.bottom);
    }
}

}  // namespace

namespace {

TEST(WordBreaks, FallAfterBlanksAndAroundDoubleByteCharacters)
{
    const UINT gbk = 936;
    // "中文" is D6D0 CEC4.
    const struct {
        const char* text;
        int index;
        int action;
        int expected;
    } cases[] = {
        {"abc def ghi", 11, WB_LEFT, 8},
        {"abc def ghi", 8, WB_LEFT, 4},  // from a word's start: the word before
        {"abc def ghi", 6, WB_LEFT, 4},
        {"abc def ghi", 4, WB_LEFT, 0},
        {"abc def ghi", 0, WB_LEFT, 0},
        {"abc   def", 9, WB_LEFT, 6},  // a run of blanks is one gap
        {"abc   def", 5, WB_LEFT, 0},
        {"a\tb", 3, WB_LEFT, 2},
        {"nospacesatall", 13, WB_LEFT, 0},
        {"\xD6\xD0\xCE\xC4", 4, WB_LEFT, 2},
        {"\xD6\xD0\xCE\xC4", 3, WB_LEFT, 2},  // never inside a character
        {"\xD6\xD0\xCE\xC4", 2, WB_LEFT, 0},
        {"ab\xD6\xD0", 4, WB_LEFT, 2},   // before a double-byte character
        {"\xD6\xD0" "ab", 4, WB_LEFT, 2},  // and after one
        {"\xD6\x20" "ab", 4, WB_LEFT, 2},  // a trail byte 0x20 is no blank
        {"abc def", 1, WB_RIGHT, 4},
        {"abc def", 4, WB_RIGHT, 4},
        {"abc def", 5, WB_RIGHT, 7},
        {"\xD6\xD0\xCE\xC4", 1, WB_RIGHT, 2},
        {"a b", 1, WB_ISDELIMITER, 1},
        {"a\tb", 1, WB_ISDELIMITER, 1},
        {"a b", 0, WB_ISDELIMITER, 0},
        {"a b", 3, WB_ISDELIMITER, 0},
        // Positions outside the text are taken as its nearer end.
        {"abc def", -5, WB_LEFT, 0},
        {"abc def", 100, WB_LEFT, 4},
        {"abc def", 100, WB_RIGHT, 7},
        {"abc def", -5, WB_ISDELIMITER, 0},
        {"", 0, WB_LEFT, 0},
        {"", 0, WB_RIGHT, 0},
    };
    for (const auto& c : cases) {
        const int count = static_cast<int>(std::strlen(c.text));
        EXPECT_EQ(wordBreakPosition(c.text, c.index, count, c.action, gbk), c.expected)
            << '"' << c.text << "\" index " << c.index << " action " << c.action;
    }
}

TEST(WordBreaks, UnknownActionsAndMissingTextAnswerZero)
{
    EXPECT_EQ(wordBreakPosition("abc def", 5, 7, 99, 936), 0);
    EXPECT_EQ(wordBreakPosition(nullptr, 5, 7, WB_LEFT, 936), 0);
}

}  // namespace
