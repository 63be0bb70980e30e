#ifndef TRIVELD_FRAME_CRITICAL_SECTION_H
#define TRIVELD_FRAME_CRITICAL_SECTION_H

#include <windows.h>

// Zero-fills and initialises the critical section: S_OK, E_OUTOFMEMORY when
// the system raised STATUS_NO_MEMORY, E_FAIL for any other raised code.
HRESULT InitLock(CRITICAL_SECTION* section);
// The same, throwing CHResultException on failure.
void InitLockOrThrow(CRITICAL_SECTION* section);

// Leaves the critical section at most once: on request or at scope end.
class ScopedLock {
public:
    explicit ScopedLock(CRITICAL_SECTION* section, bool enterNow = true);
    ~ScopedLock();

    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

    void Enter();
    void Leave();

private:
    CRITICAL_SECTION* section_;
    bool held_ = false;
};

#endif
