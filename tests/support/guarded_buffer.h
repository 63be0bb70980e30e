#ifndef TRIVELD_TESTS_GUARDED_BUFFER_H
#define TRIVELD_TESTS_GUARDED_BUFFER_H

#include <windows.h>

#include <cstddef>

// A buffer whose last byte is the last byte of a page, followed by a page
// that may not be touched: reading or writing one byte past the buffer
// raises an access violation, which the test runner reports as a crash.
class GuardedBuffer {
public:
    explicit GuardedBuffer(std::size_t size);
    ~GuardedBuffer();

    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;

    // `size` bytes, filled with the byte "x" on construction; with a size of 0 it
    // points at the guard page itself.
    char* Data() const { return data_; }
    std::size_t Size() const { return size_; }

private:
    void* region_ = nullptr;
    char* data_ = nullptr;
    std::size_t size_ = 0;
};

#endif
