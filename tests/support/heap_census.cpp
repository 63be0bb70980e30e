#include "tests/support/heap_census.h"

#include <windows.h>

#include <cstdint>

extern "C" intptr_t __cdecl _get_heap_handle(void);

namespace {
bool suspended = false;
}

long BusyHeapBlocks()
{
    HANDLE heap = reinterpret_cast<HANDLE>(_get_heap_handle());
    long busy = 0;
    if (!HeapLock(heap)) {
        return -1;
    }
    PROCESS_HEAP_ENTRY entry = {};
    while (HeapWalk(heap, &entry)) {
        if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) {
            ++busy;
        }
    }
    HeapUnlock(heap);
    return busy;
}

bool LeakCheckSuspended()
{
    return suspended;
}

void SuspendLeakCheck(bool value)
{
    suspended = value;
}
