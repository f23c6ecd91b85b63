#include "run_state.h"

#include <cstring>

#if !defined(_WIN64)
// The 32-bit records the program hands to the system.
static_assert(sizeof(SECURITY_ATTRIBUTES) == 12, "32-bit SECURITY_ATTRIBUTES");
static_assert(sizeof(STARTUPINFOA) == 68, "32-bit STARTUPINFOA");
static_assert(sizeof(OSVERSIONINFOA) == 148, "32-bit OSVERSIONINFOA");
#endif

static RunState* programRunState = nullptr;

void initRunState(FatalErrorSink& sink)
{
    programRunState = static_cast<RunState*>(allocateZeroed(sink, sizeof(RunState)));
}

void releaseRunState()
{
    if (!programRunState) return;
    releaseMemory(programRunState->chunkBuffer);
    releaseMemory(programRunState);
    programRunState = nullptr;
}

RunState* currentRunState() { return programRunState; }

OsFamily osFamilyFromPlatformId(DWORD platformId)
{
    switch (platformId) {
    case VER_PLATFORM_WIN32s: return kOsFamilyWin32s;
    case VER_PLATFORM_WIN32_WINDOWS: return kOsFamilyWin9x;
    case VER_PLATFORM_WIN32_NT: return kOsFamilyNt;
    default: return kOsFamilyOther;
    }
}

OsFamily queryOsFamily()
{
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    GetVersionExA(&info);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    return osFamilyFromPlatformId(info.dwPlatformId);
}

const char* shellPrefix(int osFamily)
{
    return osFamily > kOsFamilyWin9x ? "cmd.exe /c " : "command.com /c ";
}

OwnedText buildCommandLineFor(FatalErrorSink& sink, int osFamily, const char* commandText)
{
    const char* prefix = shellPrefix(osFamily);
    const size_t prefixLength = std::strlen(prefix);
    const size_t textLength = std::strlen(commandText);
    OwnedText line = OwnedText::withLength(sink, prefixLength + textLength);
    std::memcpy(line.data(), prefix, prefixLength);
    std::memcpy(line.data() + prefixLength, commandText, textLength);
    return line;
}

OwnedText buildCommandLine(FatalErrorSink& sink, const char* commandText)
{
    return buildCommandLineFor(sink, queryOsFamily(), commandText);
}

// True when the last character of `folder` (read character by character in
// the ANSI code page) is a backslash; a trail byte 0x5C does not count.
static bool endsWithBackslash(const char* folder)
{
    bool lastWasBackslash = false;
    for (const char* p = folder; *p;) {
        if (IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1]) {
            lastWasBackslash = false;
            p += 2;
        } else {
            lastWasBackslash = *p == '\\';
            ++p;
        }
    }
    return lastWasBackslash;
}

OwnedText interpreterPathFor(FatalErrorSink& sink, int osFamily, const char* systemFolder,
                             const char* windowsFolder)
{
    const bool nt = osFamily > kOsFamilyWin9x;
    const char* folder = nt ? systemFolder : windowsFolder;
    const char* name = nt ? "cmd.exe" : "command.com";
    OwnedText path = OwnedText::copyOf(sink, folder, std::strlen(folder));
    // Without a folder there is no safe path: a bare name would be looked up
    // in the working directory first.
    if (path.empty()) return path;
    if (!endsWithBackslash(folder)) path.append(sink, "\\", 1);
    path.append(sink, name, std::strlen(name));
    return path;
}

static OwnedText systemFolderText(FatalErrorSink& sink, UINT (WINAPI* query)(LPSTR, UINT))
{
    const UINT needed = query(nullptr, 0);
    if (needed == 0) return OwnedText::copyOf(sink, "", 0);
    OwnedText folder = OwnedText::withLength(sink, needed);
    const UINT written = query(folder.data(), needed + 1);
    folder.truncate(written <= needed ? written : 0);
    return folder;
}

OwnedText interpreterPath(FatalErrorSink& sink, int osFamily)
{
    const OwnedText systemFolder = systemFolderText(sink, GetSystemDirectoryA);
    const OwnedText windowsFolder = systemFolderText(sink, GetWindowsDirectoryA);
    return interpreterPathFor(sink, osFamily, systemFolder.c_str(), windowsFolder.c_str());
}
