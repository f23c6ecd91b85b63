#pragma once
// A NUL-terminated byte string with one owner. Texts in this program are
// 8-bit strings in the ANSI code page; they may hold any byte but zero.
#include <cstddef>

class FatalErrorSink;

class OwnedText {
public:
    OwnedText() = default;
    OwnedText(const OwnedText&) = delete;
    OwnedText& operator=(const OwnedText&) = delete;
    OwnedText(OwnedText&& other) noexcept;
    OwnedText& operator=(OwnedText&& other) noexcept;
    ~OwnedText();

    // Copies `length` bytes and adds the terminating zero.
    static OwnedText copyOf(FatalErrorSink& sink, const char* bytes, size_t length);
    // An uninitialised text of `length` bytes (plus the zero) for a caller to fill.
    static OwnedText withLength(FatalErrorSink& sink, size_t length);

    const char* c_str() const { return bytes_ ? bytes_ : ""; }
    char* data() { return bytes_; }
    size_t length() const { return length_; }
    bool empty() const { return length_ == 0; }

    // Adds bytes at the end, growing geometrically.
    void append(FatalErrorSink& sink, const char* bytes, size_t length);
    // Drops the first `count` bytes, keeping the rest in order.
    void dropFront(size_t count);
    // Sets the length to `length` (no larger than the capacity) and terminates.
    void truncate(size_t length);

private:
    void reserve(FatalErrorSink& sink, size_t capacity);

    char* bytes_ = nullptr;
    size_t length_ = 0;
    size_t capacity_ = 0;
};

// Where an allocation failure goes. It never returns.
class FatalErrorSink {
public:
    [[noreturn]] virtual void allocationFailed(size_t requestedBytes) = 0;

protected:
    ~FatalErrorSink() = default;
};

// Allocates `size` zeroed bytes or reports the failure to `sink`.
void* allocateZeroed(FatalErrorSink& sink, size_t size);
void releaseMemory(void* block);
