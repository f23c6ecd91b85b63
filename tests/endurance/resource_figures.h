#pragma once
// What this process holds of the system, measured from inside: kernel
// handles, GDI objects and the working set. (The system's own per-process
// counters read 0 under Wine, so both counts probe every handle value.)
#include <cstddef>
#include <string>

struct ResourceFigures {
    int handles = 0;
    int gdiObjects = 0;
    size_t workingSetKb = 0;
};

// Kernel handles open in this process: every value 4, 8, 12, ... that
// GetHandleInformation accepts.
int countLiveHandles();
// GDI objects of this process (stock objects included): every handle-table
// index that GetObjectType names a type for.
int countGdiObjects();
size_t workingSetKb();
ResourceFigures measureResources();

std::string describe(const ResourceFigures& figures);

// A positive whole number from the environment, or `fallback`.
int countFromEnvironment(const char* name, int fallback);
