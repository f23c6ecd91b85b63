#include "resource_figures.h"

#include <windows.h>
#include <psapi.h>

#include <cstdint>
#include <cstdlib>

namespace {

constexpr uintptr_t kLastHandleValue = 0x10000;
// GDI handles carry their table index in the low 16 bits; a handle whose
// high bits are zero names the index alone.
constexpr uintptr_t kGdiTableSize = 0x10000;

}  // namespace

int countLiveHandles()
{
    int open = 0;
    for (uintptr_t value = 4; value <= kLastHandleValue; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++open;
    }
    return open;
}

int countGdiObjects()
{
    int live = 0;
    for (uintptr_t index = 1; index < kGdiTableSize; ++index) {
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0) ++live;
    }
    return live;
}

size_t workingSetKb()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return counters.WorkingSetSize / 1024;
}

ResourceFigures measureResources()
{
    ResourceFigures figures;
    figures.handles = countLiveHandles();
    figures.gdiObjects = countGdiObjects();
    figures.workingSetKb = workingSetKb();
    return figures;
}

std::string describe(const ResourceFigures& figures)
{
    return std::to_string(figures.handles) + " handles, " + std::to_string(figures.gdiObjects) +
           " GDI objects, working set " + std::to_string(figures.workingSetKb) + " KB";
}

int countFromEnvironment(const char* name, int fallback)
{
    const char* value = std::getenv(name);
    if (!value || !*value) return fallback;
    const long parsed = std::strtol(value, nullptr, 10);
    return parsed > 0 ? static_cast<int>(parsed) : fallback;
}
