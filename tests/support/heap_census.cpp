#include "tests/support/heap_census.h"

#include <windows.h>

#include <cstdint>

extern "C" intptr_t __cdecl _get_heap_handle(void);

namespace {

bool suspended = false;

// Calls `visit` with every busy block under the heap's lock; `visit` must not
// allocate from the heap. False when the heap cannot be locked.
template <typename Visit>
bool WalkBusyBlocks(Visit visit)
{
    HANDLE heap = reinterpret_cast<HANDLE>(_get_heap_handle());
    if (!HeapLock(heap)) {
        return false;
    }
    PROCESS_HEAP_ENTRY entry = {};
    while (HeapWalk(heap, &entry)) {
        if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) {
            visit(HeapBlock{entry.lpData, entry.cbData});
        }
    }
    HeapUnlock(heap);
    return true;
}

} // namespace

long BusyHeapBlocks()
{
    long busy = 0;
    if (!WalkBusyBlocks([&busy](const HeapBlock&) { ++busy; })) {
        return -1;
    }
    return busy;
}

std::vector<HeapBlock> BusyHeapBlockList()
{
    std::vector<HeapBlock> blocks;
    // Room first: the walk must not allocate.
    blocks.reserve(static_cast<std::size_t>(BusyHeapBlocks()) + 64);
    WalkBusyBlocks([&blocks](const HeapBlock& block) {
        if (block.address != blocks.data() && blocks.size() < blocks.capacity()) {
            blocks.push_back(block);
        }
    });
    return blocks;
}

bool HeapBlockBusy(const HeapBlock& block)
{
    bool busy = false;
    WalkBusyBlocks([&](const HeapBlock& found) {
        busy = busy || (found.address == block.address && found.size == block.size);
    });
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
