#ifndef TRIVELD_SERVICE_PLATFORM_CALLS_H
#define TRIVELD_SERVICE_PLATFORM_CALLS_H

#include <windows.h>

// The system calls behind the platform facts, reached through one table so
// that tests can stand in for answers the machine cannot give (a failing
// memory query, a process under WOW64). The product never changes it.
using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);

struct PlatformCalls {
    BOOL(WINAPI* globalMemoryStatusEx)(LPMEMORYSTATUSEX);
    BOOL(WINAPI* getVersionExA)(LPOSVERSIONINFOA);
    // Looks "IsWow64Process" up in kernel32 at run time; null when absent.
    IsWow64ProcessFunction (*findIsWow64Process)();
};

PlatformCalls& ActivePlatformCalls();

// The table as the product uses it: the real system calls.
PlatformCalls RealPlatformCalls();

#endif
