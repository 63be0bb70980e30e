#include "tests/support/handle_census.h"

#include <windows.h>

namespace {

// Handle values are multiples of 4, and a new handle takes the lowest free
// slot, so the open ones lie close together: after this many free slots in a
// row no open handle follows.
constexpr long kFreeSlotsAfterLast = 2048;

// Probes handle values one by one (Wine's GetProcessHandleCount gives no
// count). Needs nothing beyond GetHandleInformation.
long ProbedHandleCount()
{
    long open = 0;
    long free = 0;
    for (ULONG_PTR value = 4; free < kFreeSlotsAfterLast; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            ++open;
            free = 0;
        } else {
            ++free;
        }
    }
    return open;
}

} // namespace

long OpenHandleCount()
{
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0) {
        return static_cast<long>(count);
    }
    return ProbedHandleCount();
}
