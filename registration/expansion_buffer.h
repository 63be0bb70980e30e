#ifndef TRIVELD_REGISTRATION_EXPANSION_BUFFER_H
#define TRIVELD_REGISTRATION_EXPANSION_BUFFER_H

#include <windows.h>

#include <cstddef>

// Receives a script's text after placeholder substitution. The text is
// NUL-terminated at all times and lives in task memory, so that it can be
// handed to a caller who frees it with CoTaskMemFree.
class ExpansionBuffer {
public:
    ExpansionBuffer() = default;
    ~ExpansionBuffer();

    ExpansionBuffer(const ExpansionBuffer&) = delete;
    ExpansionBuffer& operator=(const ExpansionBuffer&) = delete;

    // Twice the script's length, or 1000 bytes when that is below 100.
    bool Allocate(size_t scriptLength);
    // Doubles the capacity until the text and its terminator fit; false (and
    // the text unchanged) when memory runs out.
    bool Append(const char* bytes, size_t count);
    // Hands the text over; the buffer is empty afterwards.
    char* Detach();

    const char* Text() const { return text_; }
    size_t Length() const { return length_; }
    size_t Capacity() const { return capacity_; }

private:
    char* text_ = nullptr;
    size_t length_ = 0;
    size_t capacity_ = 0;
};

#endif
