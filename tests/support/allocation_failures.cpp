#include "tests/support/allocation_failures.h"

#include <cstdlib>
#include <new>

namespace {

// Counting is on only while an AllocationFailures object lives.
bool installed = false;
int failingAllocation = 0;
int requested = 0;
bool refused = false;
long heldTaskBlocks = 0;
long stringsMade = 0;

// True when this allocation is the one to refuse.
bool RefuseThisOne()
{
    if (!installed) {
        return false;
    }
    ++requested;
    if (failingAllocation == 0 || requested != failingAllocation) {
        return false;
    }
    refused = true;
    return true;
}

void* NothrowNew(std::size_t size)
{
    if (RefuseThisOne()) {
        return nullptr;
    }
    return std::malloc(size != 0 ? size : 1);
}

void* CountedAllocate(std::size_t size)
{
    return RefuseThisOne() ? nullptr : std::malloc(size);
}

void* CountedReallocate(void* block, std::size_t size)
{
    return RefuseThisOne() ? nullptr : std::realloc(block, size);
}

LPVOID WINAPI CountedTaskAllocate(SIZE_T size)
{
    if (RefuseThisOne()) {
        return nullptr;
    }
    LPVOID block = CoTaskMemAlloc(size);
    if (block != nullptr) {
        ++heldTaskBlocks;
    }
    return block;
}

LPVOID WINAPI CountedTaskReallocate(LPVOID block, SIZE_T size)
{
    if (RefuseThisOne()) {
        return nullptr;
    }
    LPVOID grown = CoTaskMemRealloc(block, size);
    if (block == nullptr && grown != nullptr) {
        ++heldTaskBlocks;
    }
    return grown;
}

void WINAPI CountedTaskFree(LPVOID block)
{
    if (block != nullptr) {
        --heldTaskBlocks;
    }
    CoTaskMemFree(block);
}

BSTR WINAPI CountedSysAllocString(const OLECHAR* text)
{
    if (RefuseThisOne()) {
        return nullptr;
    }
    BSTR made = SysAllocString(text);
    if (made != nullptr) {
        ++stringsMade;
    }
    return made;
}

} // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return NothrowNew(size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return NothrowNew(size);
}

AllocationFailures::AllocationFailures()
    : saved_(ActivePlatformCalls())
{
    PlatformCalls& calls = ActivePlatformCalls();
    calls.allocate = &CountedAllocate;
    calls.reallocate = &CountedReallocate;
    calls.taskAllocate = &CountedTaskAllocate;
    calls.taskReallocate = &CountedTaskReallocate;
    calls.taskFree = &CountedTaskFree;
    calls.sysAllocString = &CountedSysAllocString;
    heldTaskBlocks = 0;
    FailAt(0);
    installed = true;
}

AllocationFailures::~AllocationFailures()
{
    installed = false;
    failingAllocation = 0;
    ActivePlatformCalls() = saved_;
}

void AllocationFailures::FailAt(int nth)
{
    failingAllocation = nth;
    requested = 0;
    refused = false;
    stringsMade = 0;
}

int AllocationFailures::Requested() const
{
    return requested;
}

bool AllocationFailures::Refused() const
{
    return refused;
}

long AllocationFailures::HeldTaskBlocks() const
{
    return heldTaskBlocks;
}

long AllocationFailures::StringsMade() const
{
    return stringsMade;
}
