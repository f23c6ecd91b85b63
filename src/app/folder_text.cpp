#include "folder_text.h"

namespace {

constexpr size_t kNoBackslash = static_cast<size_t>(-1);

size_t lastBackslash(const char* path, UINT codePage)
{
    size_t found = kNoBackslash;
    size_t i = 0;
    while (path[i] != '\0') {
        if (IsDBCSLeadByteEx(codePage, static_cast<BYTE>(path[i])) && path[i + 1] != '\0') {
            i += 2;
            continue;
        }
        if (path[i] == '\\') found = i;
        ++i;
    }
    return found;
}

bool isDriveRoot(const char* path, size_t backslash) { return backslash == 2 && path[1] == ':'; }

}  // namespace

size_t folderLengthOfPath(const char* path, UINT codePage)
{
    const size_t backslash = lastBackslash(path, codePage);
    if (backslash == kNoBackslash) return 0;
    if (backslash == 0 || isDriveRoot(path, backslash)) return backslash + 1;
    return backslash;
}
