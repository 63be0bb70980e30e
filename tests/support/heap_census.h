#ifndef TRIVELD_TESTS_HEAP_CENSUS_H
#define TRIVELD_TESTS_HEAP_CENSUS_H

// Busy blocks of the C runtime heap (which the component's allocations use).
long BusyHeapBlocks();

// Tests whose platform calls cache allocations on first use may opt out.
bool LeakCheckSuspended();
void SuspendLeakCheck(bool suspended);

#endif
