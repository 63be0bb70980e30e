#ifndef TRIVELD_TESTS_HEAP_CENSUS_H
#define TRIVELD_TESTS_HEAP_CENSUS_H

#include <cstddef>
#include <vector>

// Busy blocks of the C runtime heap (which the component's allocations use).
long BusyHeapBlocks();

struct HeapBlock {
    const void* address;
    std::size_t size;
};

// The busy blocks, the returned list's own excepted.
std::vector<HeapBlock> BusyHeapBlockList();
// Whether `block` is still busy; allocates nothing, so it may run anywhere.
bool HeapBlockBusy(const HeapBlock& block);

// Tests whose platform calls cache allocations on first use may opt out.
bool LeakCheckSuspended();
void SuspendLeakCheck(bool suspended);

#endif
