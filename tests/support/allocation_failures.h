#ifndef TRIVELD_TESTS_ALLOCATION_FAILURES_H
#define TRIVELD_TESTS_ALLOCATION_FAILURES_H

#include "service/platform_calls.h"

// Makes one chosen allocation of the component fail: every new (std::nothrow)
// of either form (its source replaces those two operators, so link it only
// into programs that want them) and every allocation in PlatformCalls. While
// it lives it also counts the task-memory blocks and strings the component
// obtains.
class AllocationFailures {
public:
    AllocationFailures();
    ~AllocationFailures();

    AllocationFailures(const AllocationFailures&) = delete;
    AllocationFailures& operator=(const AllocationFailures&) = delete;

    // From now on the nth allocation fails (1 the next one); 0 fails none.
    // Counting starts afresh either way.
    void FailAt(int nth);
    // Allocations asked for since FailAt.
    int Requested() const;
    // Whether the chosen allocation has been refused.
    bool Refused() const;
    // Task-memory blocks obtained through the table and not freed through it.
    long HeldTaskBlocks() const;
    // Strings handed out since FailAt.
    long StringsMade() const;

private:
    PlatformCalls saved_;
};

#endif
