#include "owned_text.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#ifdef CMDPANE_FAULT_HOOKS
#include <windows.h>
// Test builds can make one allocation size fail, to show the fatal path.
static bool simulatedFailure(size_t size)
{
    char value[32] = {};
    if (GetEnvironmentVariableA("CMDPANE_FAIL_ALLOCATION", value, sizeof value) == 0) return false;
    return std::strtoul(value, nullptr, 10) == size;
}
#else
static bool simulatedFailure(size_t) { return false; }
#endif

void* allocateZeroed(FatalErrorSink& sink, size_t size)
{
    void* block = simulatedFailure(size) ? nullptr : std::calloc(size ? size : 1, 1);
    if (!block) sink.allocationFailed(size);
    return block;
}

void releaseMemory(void* block) { std::free(block); }

OwnedText::OwnedText(OwnedText&& other) noexcept
    : bytes_(std::exchange(other.bytes_, nullptr)),
      length_(std::exchange(other.length_, 0)),
      capacity_(std::exchange(other.capacity_, 0))
{
}

OwnedText& OwnedText::operator=(OwnedText&& other) noexcept
{
    if (this != &other) {
        std::free(bytes_);
        bytes_ = std::exchange(other.bytes_, nullptr);
        length_ = std::exchange(other.length_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
}

OwnedText::~OwnedText() { std::free(bytes_); }

OwnedText OwnedText::withLength(FatalErrorSink& sink, size_t length)
{
    OwnedText text;
    text.reserve(sink, length);
    text.truncate(length);
    return text;
}

OwnedText OwnedText::copyOf(FatalErrorSink& sink, const char* bytes, size_t length)
{
    OwnedText text = withLength(sink, length);
    if (length) std::memcpy(text.bytes_, bytes, length);
    return text;
}

void OwnedText::reserve(FatalErrorSink& sink, size_t capacity)
{
    if (bytes_ && capacity <= capacity_) return;
    const size_t size = capacity + 1;
    void* grown = simulatedFailure(size) ? nullptr : std::realloc(bytes_, size);
    if (!grown) sink.allocationFailed(size);
    bytes_ = static_cast<char*>(grown);
    if (capacity_ == 0) bytes_[0] = '\0';
    capacity_ = capacity;
}

void OwnedText::append(FatalErrorSink& sink, const char* bytes, size_t length)
{
    if (length_ + length > capacity_) {
        size_t wanted = capacity_ < 64 ? 64 : capacity_ * 2;
        if (wanted < length_ + length) wanted = length_ + length;
        reserve(sink, wanted);
    }
    if (length) std::memcpy(bytes_ + length_, bytes, length);
    truncate(length_ + length);
}

void OwnedText::dropFront(size_t count)
{
    if (count >= length_) {
        truncate(0);
        return;
    }
    std::memmove(bytes_, bytes_ + count, length_ - count);
    truncate(length_ - count);
}

void OwnedText::truncate(size_t length)
{
    if (!bytes_) return;
    length_ = length;
    bytes_[length] = '\0';
}
