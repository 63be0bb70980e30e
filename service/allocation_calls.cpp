#include "service/allocation_calls.h"

#include <objbase.h>

#include <cstdlib>

namespace {

void* HeapAllocate(std::size_t size)
{
    return std::malloc(size);
}

void* HeapReallocate(void* block, std::size_t size)
{
    return std::realloc(block, size);
}

AllocationCalls activeCalls = RealAllocationCalls();

} // namespace

AllocationCalls RealAllocationCalls()
{
    return AllocationCalls{&HeapAllocate, &HeapReallocate, &CoTaskMemAlloc, &CoTaskMemRealloc,
                           &CoTaskMemFree, &SysAllocString};
}

AllocationCalls& ActiveAllocationCalls()
{
    return activeCalls;
}
