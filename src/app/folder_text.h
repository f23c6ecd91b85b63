#pragma once
// The folder part of a file path, read character by character.
#include <windows.h>

#include <cstddef>

// How many leading bytes of `path` name its folder: everything before the
// last backslash, where a backslash is a whole character of `codePage` (the
// trail byte of a double-byte character is never one). A file in a drive's
// root ("C:\a.exe") keeps the backslash ("C:\"), because "C:" alone would
// name that drive's current directory; so does a file in the root of the
// current drive ("\a.exe" gives "\"). A path without a backslash has no
// folder: 0.
size_t folderLengthOfPath(const char* path, UINT codePage);
