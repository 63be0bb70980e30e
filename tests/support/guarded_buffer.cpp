#include "tests/support/guarded_buffer.h"

#include <cstring>

#include <gtest/gtest.h>

namespace {

std::size_t PageSize()
{
    SYSTEM_INFO info = {};
    GetSystemInfo(&info);
    return info.dwPageSize;
}

} // namespace

GuardedBuffer::GuardedBuffer(std::size_t size) : size_(size)
{
    const std::size_t page = PageSize();
    const std::size_t usable = (size + page - 1) / page * page;
    region_ = VirtualAlloc(nullptr, usable + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    EXPECT_NE(nullptr, region_);
    if (region_ == nullptr) {
        return;
    }
    char* guard = static_cast<char*>(region_) + usable;
    DWORD previous = 0;
    EXPECT_TRUE(VirtualProtect(guard, page, PAGE_NOACCESS, &previous));
    data_ = guard - size;
    std::memset(data_, 'x', size);
}

GuardedBuffer::~GuardedBuffer()
{
    if (region_ != nullptr) {
        VirtualFree(region_, 0, MEM_RELEASE);
    }
}
