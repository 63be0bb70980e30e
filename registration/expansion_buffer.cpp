#include "registration/expansion_buffer.h"

#include <objbase.h>

#include <cstdint>
#include <cstring>

#include "service/platform_calls.h"

ExpansionBuffer::~ExpansionBuffer()
{
    ActivePlatformCalls().taskFree(text_);
}

bool ExpansionBuffer::Allocate(size_t scriptLength)
{
    if (text_ != nullptr || scriptLength > SIZE_MAX / 2) {
        return false;
    }
    size_t capacity = scriptLength * 2;
    if (capacity < 100) {
        capacity = 1000;
    }
    text_ = static_cast<char*>(ActivePlatformCalls().taskAllocate(capacity));
    if (text_ == nullptr) {
        return false;
    }
    text_[0] = '\0';
    length_ = 0;
    capacity_ = capacity;
    return true;
}

bool ExpansionBuffer::Append(const char* bytes, size_t count)
{
    if (text_ == nullptr || count > SIZE_MAX - length_ - 1) {
        return false;
    }
    const size_t needed = length_ + count + 1;
    if (needed >= capacity_) {
        size_t capacity = capacity_;
        while (needed >= capacity) {
            if (capacity > SIZE_MAX / 2) {
                return false;
            }
            capacity *= 2;
        }
        char* grown = static_cast<char*>(ActivePlatformCalls().taskReallocate(text_, capacity));
        if (grown == nullptr) {
            return false;
        }
        text_ = grown;
        capacity_ = capacity;
    }
    std::memcpy(text_ + length_, bytes, count);
    length_ += count;
    text_[length_] = '\0';
    return true;
}

char* ExpansionBuffer::Detach()
{
    char* text = text_;
    text_ = nullptr;
    length_ = 0;
    capacity_ = 0;
    return text;
}
