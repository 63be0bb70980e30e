#include "tests/support/platform_fakes.h"

namespace {

DWORDLONG reportedMemory = 0;
BOOL wow64Answer = FALSE;

BOOL WINAPI FailingMemoryStatus(LPMEMORYSTATUSEX)
{
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

BOOL WINAPI FixedMemoryStatus(LPMEMORYSTATUSEX status)
{
    if (status->dwLength != sizeof(MEMORYSTATUSEX)) {
        return FALSE;
    }
    status->ullTotalPhys = reportedMemory;
    return TRUE;
}

BOOL WINAPI FailingVersion(LPOSVERSIONINFOA)
{
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

IsWow64ProcessFunction NoIsWow64Process()
{
    return nullptr;
}

BOOL WINAPI FailingIsWow64Process(HANDLE, PBOOL)
{
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

IsWow64ProcessFunction FindFailingIsWow64Process()
{
    return &FailingIsWow64Process;
}

BOOL WINAPI AnsweringIsWow64Process(HANDLE process, PBOOL answer)
{
    if (process != GetCurrentProcess() || *answer != 0) {
        return FALSE;
    }
    *answer = wow64Answer;
    return TRUE;
}

IsWow64ProcessFunction FindAnsweringIsWow64Process()
{
    return &AnsweringIsWow64Process;
}

} // namespace

FakePlatform::FakePlatform() : saved_(ActivePlatformCalls()) {}

FakePlatform::~FakePlatform()
{
    ActivePlatformCalls() = saved_;
}

void FakePlatform::MemoryQueryFails()
{
    ActivePlatformCalls().globalMemoryStatusEx = &FailingMemoryStatus;
}

void FakePlatform::ReportTotalMemory(DWORDLONG bytes)
{
    reportedMemory = bytes;
    ActivePlatformCalls().globalMemoryStatusEx = &FixedMemoryStatus;
}

void FakePlatform::VersionQueryFails()
{
    ActivePlatformCalls().getVersionExA = &FailingVersion;
}

void FakePlatform::IsWow64ProcessMissing()
{
    ActivePlatformCalls().findIsWow64Process = &NoIsWow64Process;
}

void FakePlatform::IsWow64ProcessFails()
{
    ActivePlatformCalls().findIsWow64Process = &FindFailingIsWow64Process;
}

void FakePlatform::IsWow64ProcessAnswers(BOOL answer)
{
    wow64Answer = answer;
    ActivePlatformCalls().findIsWow64Process = &FindAnsweringIsWow64Process;
}
