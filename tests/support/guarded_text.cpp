#include "tests/support/guarded_text.h"

#include <cstring>

GuardedText::GuardedText(const std::string& text)
{
    SYSTEM_INFO system = {};
    GetSystemInfo(&system);
    const size_t page = system.dwPageSize;
    const size_t bytes = text.size() + 1;
    const size_t readable = (bytes + page - 1) / page * page;
    block_ = VirtualAlloc(nullptr, readable + page, MEM_RESERVE, PAGE_NOACCESS);
    if (block_ == nullptr) {
        return;
    }
    char* start = static_cast<char*>(block_);
    if (VirtualAlloc(start, readable, MEM_COMMIT, PAGE_READWRITE) == nullptr) {
        return;
    }
    char* copy = start + readable - bytes;
    std::memcpy(copy, text.c_str(), bytes);
    DWORD old = 0;
    VirtualProtect(start, readable, PAGE_READONLY, &old);
    text_ = copy;
}

GuardedText::~GuardedText()
{
    if (block_ != nullptr) {
        VirtualFree(block_, 0, MEM_RELEASE);
    }
}
