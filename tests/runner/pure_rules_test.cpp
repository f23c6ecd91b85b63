// The runner's rules that need no child process: the OS family, the command
// line, the interpreter's path, the chunk text, character boundaries and the
// start failure line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_run.h"
#include "streams.h"
#include "run_state.h"
#include "test_shell.h"

namespace {

// "无法启动命令：" in GBK.
const std::string kStartFailureLeadIn = "\xCE\xDE\xB7\xA8\xC6\xF4\xB6\xAF\xC3\xFC\xC1\xEE\xA3\xBA";

std::string str(const OwnedText& text) { return std::string(text.c_str(), text.length()); }

TEST(OsFamily, MapsPlatformIds)
{
    const struct {
        DWORD platformId;
        OsFamily family;
        const char* prefix;
    } cases[] = {
        {VER_PLATFORM_WIN32s, kOsFamilyWin32s, "command.com /c "},
        {VER_PLATFORM_WIN32_WINDOWS, kOsFamilyWin9x, "command.com /c "},
        {VER_PLATFORM_WIN32_NT, kOsFamilyNt, "cmd.exe /c "},
        {3, kOsFamilyOther, "command.com /c "},
        {0xFFFFFFFFu, kOsFamilyOther, "command.com /c "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.platformId);
        EXPECT_EQ(osFamilyFromPlatformId(c.platformId), c.family);
        EXPECT_STREQ(shellPrefix(osFamilyFromPlatformId(c.platformId)), c.prefix);
    }
    EXPECT_EQ(queryOsFamily(), kOsFamilyNt);
}

TEST(CommandLine, IsThePrefixFollowedByTheTextUnchanged)
{
    TestShell sink;
    const struct {
        int family;
        const char* text;
        const char* line;
    } cases[] = {
        {kOsFamilyNt, "dir c:\\", "cmd.exe /c dir c:\\"},
        {kOsFamilyWin9x, "dir c:\\", "command.com /c dir c:\\"},
        {kOsFamilyWin32s, "dir c:\\", "command.com /c dir c:\\"},
        {kOsFamilyOther, "dir c:\\", "command.com /c dir c:\\"},
        {kOsFamilyNt, "", "cmd.exe /c "},
        {kOsFamilyNt, "  dir", "cmd.exe /c   dir"},
        {kOsFamilyNt, "echo \"a b\" > out.txt & type out.txt | more %PATH% ",
         "cmd.exe /c echo \"a b\" > out.txt & type out.txt | more %PATH% "},
        {kOsFamilyNt, "echo \xD6\xD0\x81\x5C", "cmd.exe /c echo \xD6\xD0\x81\x5C"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(str(buildCommandLineFor(sink, c.family, c.text)), c.line);
    }
    EXPECT_EQ(str(buildCommandLine(sink, "dir c:\\")), "cmd.exe /c dir c:\\");
}

TEST(InterpreterPath, JoinsTheFolderOfTheFamilyAndTheInterpreterName)
{
    ASSERT_EQ(GetACP(), 936u) << "the GBK case needs the Chinese code page";
    TestShell sink;
    const struct {
        int family;
        const char* systemFolder;
        const char* windowsFolder;
        const char* path;
    } cases[] = {
        {kOsFamilyNt, "C:\\windows\\system32", "C:\\windows", "C:\\windows\\system32\\cmd.exe"},
        {kOsFamilyNt, "C:\\", "C:\\windows", "C:\\cmd.exe"},
        {kOsFamilyWin9x, "C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS", "C:\\WINDOWS\\command.com"},
        {kOsFamilyWin32s, "C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS\\", "C:\\WINDOWS\\command.com"},
        {kOsFamilyOther, "C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS", "C:\\WINDOWS\\command.com"},
        // A folder whose last character is a GBK pair with the trail byte 0x5C
        // still needs its separator.
        {kOsFamilyNt, "C:\\\x81\x5C", "C:\\windows", "C:\\\x81\x5C\\cmd.exe"},
        {kOsFamilyNt, "C:\\\x81\x5C\\", "C:\\windows", "C:\\\x81\x5C\\cmd.exe"},
        // Without a folder there is no path, never a bare name.
        {kOsFamilyNt, "", "C:\\windows", ""},
        {kOsFamilyWin9x, "C:\\WINDOWS\\SYSTEM", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.systemFolder) + " | " + c.windowsFolder);
        EXPECT_EQ(str(interpreterPathFor(sink, c.family, c.systemFolder, c.windowsFolder)), c.path);
    }

    char systemFolder[MAX_PATH] = {};
    GetSystemDirectoryA(systemFolder, MAX_PATH);
    const std::string expected = std::string(systemFolder) + "\\cmd.exe";
    EXPECT_EQ(str(interpreterPath(sink, kOsFamilyNt)), expected);
}

TEST(ChunkText, DropsZeroBytesAndKeepsTheRest)
{
    TestShell sink;
    const struct {
        const char* name;
        std::string bytes;
        std::string text;
    } cases[] = {
        {"plain", "abc", "abc"},
        {"leading zero", std::string("\0abc", 4), "abc"},
        {"middle zero", std::string("ab\0c", 4), "abc"},
        {"trailing zero", std::string("abc\0", 4), "abc"},
        {"zeros in a row", std::string("a\0\0\0b", 5), "ab"},
        {"all zero", std::string(5, '\0'), ""},
        {"empty read", "", ""},
        {"high bytes", "\xD6\xD0\xFF\x80\x5C", "\xD6\xD0\xFF\x80\x5C"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OwnedText text;
        appendChunkText(sink, text, c.bytes.data(), c.bytes.size());
        EXPECT_EQ(str(text), c.text);
    }
}

TEST(ChunkText, IsTheSameHoweverReadsSplitTheOutput)
{
    TestShell sink;
    const std::string output("\0AB\0\0C\xD6\xD0\0\x81\x5C" "D\0", 13);
    const std::string whole = withoutZeroBytes(output);
    for (size_t first = 0; first <= output.size(); ++first) {
        for (size_t second = first; second <= output.size(); ++second) {
            SCOPED_TRACE(std::to_string(first) + "," + std::to_string(second));
            OwnedText text;
            appendChunkText(sink, text, output.data(), first);
            appendChunkText(sink, text, output.data() + first, second - first);
            appendChunkText(sink, text, output.data() + second, output.size() - second);
            ASSERT_EQ(str(text), whole);
        }
    }
}

TEST(CharacterBoundary, HoldsBackALeadByteWithoutItsTrailByte)
{
    const struct {
        const char* name;
        std::string bytes;
        UINT codePage;
        size_t complete;
    } cases[] = {
        {"empty", "", 936, 0},
        {"ASCII", "dir c:\\\r\n", 936, 9},
        {"whole pair", "\xD6\xD0", 936, 2},
        {"lead byte at the end", "ab\xD6", 936, 2},
        {"lone lead byte", "\xD6", 936, 0},
        {"pair then lead byte", "\xD6\xD0\xCE", 936, 2},
        {"trail byte 0x5C is not a lead", "\x81\x5C\x5C", 936, 3},
        {"trail byte 0x5C then a lead", "\x81\x5C\x81", 936, 2},
        {"trail byte that looks like a lead", "\x81\x81", 936, 2},
        {"not lead bytes in GBK", "\x80\xFF", 936, 2},
        {"single-byte code page", "ab\xD6", 1252, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(completeCharacterLength(c.bytes.data(), c.bytes.size(), c.codePage), c.complete);
    }
}

TEST(StartFailure, IsTheLeadInAndTheSystemsMessageOnOneLine)
{
    TestShell sink;
    for (const DWORD error : {DWORD{ERROR_FILE_NOT_FOUND}, DWORD{ERROR_FILENAME_EXCED_RANGE},
                              DWORD{ERROR_NOT_ENOUGH_MEMORY}}) {
        SCOPED_TRACE(error);
        const std::string line = str(startFailureText(sink, error));
        ASSERT_EQ(line.compare(0, kStartFailureLeadIn.size(), kStartFailureLeadIn), 0) << line;
        EXPECT_GT(line.size(), kStartFailureLeadIn.size() + 2) << "no message after the lead-in";
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
        EXPECT_NE(line.back(), ' ');
    }
}

TEST(StartFailure, NamesTheCodeTheSystemHasNoTextFor)
{
    TestShell sink;
    const std::string line = str(startFailureText(sink, 0x2000FFFFu));
    ASSERT_EQ(line.compare(0, kStartFailureLeadIn.size(), kStartFailureLeadIn), 0) << line;
    EXPECT_NE(line.find("536936447"), std::string::npos) << line;
}

}  // namespace
