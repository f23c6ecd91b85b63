#pragma once
// The records one command run fills and reuses, and the child's command line.
#include <windows.h>

#include <cstddef>

#include "owned_text.h"

constexpr size_t kChunkBufferSize = 1024;
constexpr DWORD kMaxReadBytes = kChunkBufferSize - 1;
// What the pipe holds before the child's writes wait. The system's default
// (4 KB) stops the child within milliseconds of an update of the output box
// starting; with room for a few updates' worth it goes on writing meanwhile.
constexpr DWORD kPipeBufferSize = 256 * 1024;

struct RunState {
    SECURITY_ATTRIBUTES securityAttributes;
    HANDLE pipeRead;
    HANDLE pipeWrite;
    STARTUPINFOA startupInfo;
    PROCESS_INFORMATION processInfo;
    DWORD byteCount;
    char* chunkBuffer;  // kChunkBufferSize bytes, owned; null before the first read
    DWORD exitCode;
    bool runInProgress;  // a click that arrives during a run finds this set
};

// Creates the program's one RunState, zero-filled. Called once at start-up.
void initRunState(FatalErrorSink& sink);
// Releases the RunState and its chunk buffer; closes no handle.
void releaseRunState();
// The program's RunState, or null outside initRunState..releaseRunState.
RunState* currentRunState();

enum OsFamily : int {
    kOsFamilyOther = 0,
    kOsFamilyWin32s = 1,
    kOsFamilyWin9x = 2,
    kOsFamilyNt = 3,
};

OsFamily osFamilyFromPlatformId(DWORD platformId);
OsFamily queryOsFamily();

const char* shellPrefix(int osFamily);
// The prefix for `osFamily` followed by `commandText` byte for byte.
OwnedText buildCommandLineFor(FatalErrorSink& sink, int osFamily, const char* commandText);
OwnedText buildCommandLine(FatalErrorSink& sink, const char* commandText);

// Full path of the interpreter: `systemFolder`\cmd.exe on the NT family,
// `windowsFolder`\command.com otherwise.
OwnedText interpreterPathFor(FatalErrorSink& sink, int osFamily, const char* systemFolder,
                             const char* windowsFolder);
OwnedText interpreterPath(FatalErrorSink& sink, int osFamily);
