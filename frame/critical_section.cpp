#include "frame/critical_section.h"

#include <cstring>

#include "frame/hresult_exception.h"

namespace {

// The system code of a failed initialisation. InitializeCriticalSection raises
// STATUS_NO_MEMORY where it fails; the compiler offers no structured exception
// handling, so the non-raising form reports the same failure instead.
DWORD InitialisationFailureCode(CRITICAL_SECTION* section)
{
    if (InitializeCriticalSectionAndSpinCount(section, 0)) {
        return 0;
    }
    return GetLastError() == ERROR_NOT_ENOUGH_MEMORY ? static_cast<DWORD>(STATUS_NO_MEMORY)
                                                      : DWORD{0xC0000001};
}

} // namespace

HRESULT InitLock(CRITICAL_SECTION* section)
{
    std::memset(section, 0, sizeof(*section));
    const DWORD code = InitialisationFailureCode(section);
    if (code == 0) {
        return S_OK;
    }
    return code == static_cast<DWORD>(STATUS_NO_MEMORY) ? E_OUTOFMEMORY : E_FAIL;
}

void InitLockOrThrow(CRITICAL_SECTION* section)
{
    HRESULT result = InitLock(section);
    if (FAILED(result)) {
        ThrowHResult(result);
    }
}

ScopedLock::ScopedLock(CRITICAL_SECTION* section, bool enterNow) : section_(section)
{
    if (enterNow) {
        Enter();
    }
}

ScopedLock::~ScopedLock()
{
    Leave();
}

void ScopedLock::Enter()
{
    EnterCriticalSection(section_);
    held_ = true;
}

void ScopedLock::Leave()
{
    if (!held_) {
        return;
    }
    held_ = false;
    LeaveCriticalSection(section_);
}
