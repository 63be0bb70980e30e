#ifndef TRIVELD_SERVICE_ALLOCATION_CALLS_H
#define TRIVELD_SERVICE_ALLOCATION_CALLS_H

#include <windows.h>

#include <oleauto.h>

#include <cstddef>

// The allocations the component makes other than with new (std::nothrow),
// reached through one table so that tests can make any one of them fail.
// The product never changes it.
struct AllocationCalls {
    void* (*allocate)(std::size_t size);
    void* (*reallocate)(void* block, std::size_t size);
    LPVOID(WINAPI* taskAllocate)(SIZE_T size);
    LPVOID(WINAPI* taskReallocate)(LPVOID block, SIZE_T size);
    void(WINAPI* taskFree)(LPVOID block);
    BSTR(WINAPI* sysAllocString)(const OLECHAR* text);
};

AllocationCalls& ActiveAllocationCalls();

// The table as the product uses it: the C runtime heap, the COM task
// allocator and the system string allocator.
AllocationCalls RealAllocationCalls();

#endif
