// Command runs against the system's interpreter and the child program, driven
// through the window-less test shell.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "command_run.h"
#include "run_state.h"
#include "streams.h"
#include "test_shell.h"

namespace {

// "无法启动命令：" in GBK.
const std::string kStartFailureLeadIn = "\xCE\xDE\xB7\xA8\xC6\xF4\xB6\xAF\xC3\xFC\xC1\xEE\xA3\xBA";

std::string lowerCase(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool allZero(const void* bytes, size_t size)
{
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < size; ++i)
        if (p[i] != 0) return false;
    return true;
}

using CommandRun = RunStateTest;

TEST_F(CommandRun, ShowsExactlyWhatTheCommandWrote)
{
    ASSERT_EQ(GetACP(), 936u) << "the GBK case needs the Chinese code page";
    const struct {
        const char* name;
        std::string command;
        std::string output;
    } cases[] = {
        {"no output", "cd .", ""},
        {"empty command", "", ""},
        {"interpreter's own output", "echo real", "real\r\n"},
        {"stdout and stderr in the order written",
         childCommand("outs:A1 sleep:50 errs:B2 sleep:50 outs:C3 sleep:50 errs:D4"), "A1B2C3D4"},
        {"zero bytes dropped one by one", childCommand("out:410042 sleep:50 out:0043 sleep:50 out:4400 sleep:50 out:00"),
         "ABCD"},
        {"GBK pair split across two reads", childCommand("out:41D6 sleep:150 out:D042"), "A\xD6\xD0" "B"},
        {"trail byte 0x5C", childCommand("out:815C5C sleep:50 out:81 sleep:150 out:5C"), "\x81\x5C\x5C\x81\x5C"},
        {"lone lead byte at the end", childCommand("out:41D6"), "A\xD6"},
        {"no standard input to wait on", childCommand("stdin"), "stdin:0\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        shell.outputText = "text of an earlier run";
        shell.appendedPieces.clear();
        run(c.command);
        EXPECT_EQ(shell.outputText, c.output);
        EXPECT_TRUE(piecesKeepGbkPairsWhole(shell.appendedPieces)) << "a GBK pair was shown in two halves";
    }
}

TEST_F(CommandRun, ListsTheRootFolderByDefault)
{
    run("dir c:\\");
    ASSERT_FALSE(shell.outputText.empty());
    const std::string listing = lowerCase(shell.outputText);
    EXPECT_NE(listing.find("<dir>"), std::string::npos) << shell.outputText;
    EXPECT_NE(listing.find("windows"), std::string::npos) << shell.outputText;
    EXPECT_EQ(state().exitCode, 0u);
}

TEST_F(CommandRun, ShowsTheInterpretersMessagesAndDoesNotWaitForTheKeyboard)
{
    // The child has no standard input: a command that waits for a key or a
    // line gets none and ends. An unknown command's message comes on stderr.
    const struct {
        const char* command;
        bool printsSomething;
    } cases[] = {
        {"pause", true},
        {"set /p answer=", false},
        {"no-such-command-here", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        run(c.command, 5000);
        EXPECT_EQ(!shell.outputText.empty(), c.printsSomething) << shell.outputText;
    }
}

TEST_F(CommandRun, ShowsOutputWhileTheChildStillRuns)
{
    const DWORD started = GetTickCount();
    DWORD shownAfter = 0;
    shell.onPendingEvents = [&] {
        if (shell.outputText != "live") return;
        shownAfter = GetTickCount() - started;
        shell.gone = true;
    };
    run(childCommand("outs:live sleep:3000"));
    shell.onPendingEvents = nullptr;
    ASSERT_NE(shownAfter, 0u) << "the output was not shown during the run";
    EXPECT_LT(shownAfter, 1500u);
}

TEST_F(CommandRun, ShowsOutputOfManyReadsWholeAndInOrder)
{
    const size_t size = 300000;
    run(childCommand("text:" + std::to_string(size)), 20000);
    EXPECT_EQ(shell.outputText.size(), size);
    EXPECT_TRUE(shell.outputText == textLinesStream(size)) << "the output differs from what the child wrote";
    EXPECT_GT(shell.appendedPieces.size(), 1u);
    EXPECT_TRUE(piecesKeepGbkPairsWhole(shell.appendedPieces));
}

TEST_F(CommandRun, ShowsAStreamWithZeroBytesLessItsZeroBytes)
{
    for (const uint64_t seed : {3u, 11u}) {
        SCOPED_TRACE(seed);
        run(childCommand("mixed:" + std::to_string(seed) + ":40000"), 20000);
        EXPECT_TRUE(shell.outputText == withoutZeroBytes(mixedStream(seed, 40000, StreamKind::Raw)));
    }
}

TEST_F(CommandRun, RecordsTheExitCodeAlsoWhenItIsStillActive)
{
    const struct {
        std::string command;
        DWORD exitCode;
    } cases[] = {
        {"cd .", 0},
        {childCommand("exit:7"), 7},
        {"exit 259", STILL_ACTIVE},
        {"echo x& exit 259", STILL_ACTIVE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        const DWORD started = GetTickCount();
        run(c.command, 5000);
        EXPECT_EQ(state().exitCode, c.exitCode);
        EXPECT_LT(GetTickCount() - started, 3000u);
    }
}

TEST_F(CommandRun, EndsWithTheInterpreterWhileAGrandchildHoldsThePipe)
{
    ScratchFolder folder;
    const std::string beforeLateWrite = folder.file("before.txt");
    const std::string afterLateWrite = folder.file("after.txt");
    const std::string grandchild = "spawn:outs:grandchild sleep:1500 touch:" + beforeLateWrite + " outs:late touch:" +
                                   afterLateWrite;
    // The outer quotes keep the interpreter from taking the first and the last
    // quote of the line away.
    const DWORD started = GetTickCount();
    run("\"" + childCommand("\"" + grandchild + "\" sleep:500 outs:-child") + "\"");
    const DWORD runTime = GetTickCount() - started;
    EXPECT_EQ(shell.outputText, "grandchild-child") << "the grandchild did not write into the pipe";
    EXPECT_LT(runTime, 1500u) << "the run waited for the grandchild";

    // The grandchild outlived the run, and its late write found no reader.
    for (int i = 0; i < 50 && !fileExists(beforeLateWrite); ++i) Sleep(100);
    EXPECT_TRUE(fileExists(beforeLateWrite)) << "the grandchild did not live on";
    Sleep(300);
    EXPECT_FALSE(fileExists(afterLateWrite)) << "something still holds the pipe's read end";
}

TEST_F(CommandRun, ReportsAFailedStartOnOneLine)
{
    // A command line longer than the system accepts.
    run(std::string(40000, 'x'));
    const std::string& output = shell.outputText;
    ASSERT_EQ(output.compare(0, kStartFailureLeadIn.size(), kStartFailureLeadIn), 0) << output;
    EXPECT_GT(output.size(), kStartFailureLeadIn.size());
    EXPECT_EQ(output.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(shell.appendedPieces.size(), 1u);
    EXPECT_FALSE(state().runInProgress);
}

TEST_F(CommandRun, IgnoresAClickDuringARun)
{
    ScratchFolder folder;
    const std::string nestedMarker = folder.file("nested.txt");
    const std::string first = childCommand("outs:first sleep:300 outs:-whole");
    int nestedClicks = 0;
    DWORD longestNestedClick = 0;
    shell.onPendingEvents = [&] {
        if (nestedClicks >= 3) return;
        ++nestedClicks;
        shell.commandText = childCommand("touch:" + nestedMarker + " outs:nested");
        const DWORD started = GetTickCount();
        runButtonClicked(shell);
        const DWORD took = GetTickCount() - started;
        if (took > longestNestedClick) longestNestedClick = took;
    };
    run(first);
    shell.onPendingEvents = nullptr;

    EXPECT_EQ(nestedClicks, 3);
    EXPECT_LT(longestNestedClick, 500u) << "a nested click did work";
    EXPECT_EQ(shell.outputText, "first-whole");
    Sleep(200);
    EXPECT_FALSE(fileExists(nestedMarker)) << "a second command was started";
    EXPECT_FALSE(state().runInProgress);

    // The next click after the run starts a run again.
    run(childCommand("outs:again"));
    EXPECT_EQ(shell.outputText, "again");
}

TEST_F(CommandRun, StopsAtOnceWhenTheOutputIsGoneAndTheChildEndsOnABrokenPipe)
{
    HANDLE interpreter = nullptr;
    DWORD goneAt = 0;
    shell.onPendingEvents = [&] {
        if (shell.gone || shell.outputText.size() < 20000) return;
        const HANDLE self = GetCurrentProcess();
        DuplicateHandle(self, state().processInfo.hProcess, self, &interpreter, 0, FALSE, DUPLICATE_SAME_ACCESS);
        goneAt = GetTickCount();
        shell.gone = true;
    };
    run(childCommand("flood:20000"), 15000);
    const DWORD returnedAt = GetTickCount();
    shell.onPendingEvents = nullptr;

    ASSERT_NE(interpreter, nullptr) << "the child's flood never reached the output";
    EXPECT_LT(returnedAt - goneAt, 500u);
    EXPECT_EQ(shell.writesAfterGone, 0);
    EXPECT_FALSE(state().runInProgress);

    // With the read end closed, the child's next write fails and it ends long
    // before its flood would.
    EXPECT_EQ(WaitForSingleObject(interpreter, 5000), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    GetExitCodeProcess(interpreter, &exitCode);
    EXPECT_EQ(exitCode, 3u) << "the child did not end on a failed write";
    TerminateProcess(interpreter, 1);
    CloseHandle(interpreter);
}

TEST_F(CommandRun, StartsTheSystemsInterpreterNotOneInTheWorkingFolder)
{
    ScratchFolder folder;
    const std::string child = childProgram();
    ASSERT_TRUE(CopyFileA(child.substr(1, child.size() - 2).c_str(), folder.file("cmd.exe").c_str(), FALSE));
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(folder.path().c_str()));

    run("echo real");

    SetCurrentDirectoryA(previous);
    EXPECT_EQ(shell.outputText, "real\r\n");
}

TEST_F(CommandRun, LeavesTheRunStateAsTheRunEnded)
{
    EXPECT_TRUE(allZero(&state(), sizeof(RunState))) << "the run state is not zero before the first run";

    run(childCommand("outs:some exit:5"));

    const RunState& after = state();
    EXPECT_EQ(after.byteCount, 0u);
    EXPECT_EQ(after.exitCode, 5u);
    ASSERT_NE(after.chunkBuffer, nullptr);
    EXPECT_EQ(after.chunkBuffer[kChunkBufferSize - 1], '\0');
    EXPECT_NE(after.processInfo.dwProcessId, 0u);
    EXPECT_NE(after.processInfo.dwThreadId, 0u);
    EXPECT_FALSE(after.runInProgress);
    EXPECT_EQ(after.securityAttributes.nLength, sizeof(SECURITY_ATTRIBUTES));
    EXPECT_EQ(after.startupInfo.cb, sizeof(STARTUPINFOA));
    EXPECT_EQ(after.startupInfo.dwFlags, DWORD{STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES});
    EXPECT_EQ(after.startupInfo.wShowWindow, SW_HIDE);
    EXPECT_EQ(after.startupInfo.hStdInput, nullptr);
    EXPECT_EQ(after.startupInfo.hStdOutput, after.startupInfo.hStdError);

    // A run that reads nothing keeps the buffer of the one before.
    const char* lastBuffer = after.chunkBuffer;
    run("cd .");
    EXPECT_EQ(state().chunkBuffer, lastBuffer);
    EXPECT_EQ(state().exitCode, 0u);
}

TEST_F(CommandRun, LeavesNoHandleOpen)
{
    run(childCommand("outs:warm-up"));
    const int before = countOpenHandles();
    ASSERT_GT(before, 0) << "handle counting does not work here";

    run(childCommand("outs:one sleep:50 errs:two"));
    run("cd .");
    run(std::string(40000, 'x'));
    ScratchFolder folder;
    const std::string marker = folder.file("grandchild.txt");
    run("\"" + childCommand("\"spawn:sleep:300 touch:" + marker + "\"") + "\"");
    shell.onPendingEvents = [&] {
        if (!shell.outputText.empty()) shell.gone = true;
    };
    run(childCommand("flood:3000"));
    shell.onPendingEvents = nullptr;
    for (int i = 0; i < 30 && !fileExists(marker); ++i) Sleep(100);

    EXPECT_EQ(countOpenHandles(), before);
}

}  // namespace
