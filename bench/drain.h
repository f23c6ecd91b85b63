#pragma once
// The transport limit: the child's output drained from the same kind of pipe
// with the same reads of at most 1023 bytes, with no window at all.
#include <windows.h>

#include <string>

struct DrainResult {
    double seconds = 0;
    size_t bytes = 0;
};

DrainResult drainCommand(const std::string& commandText);
