#ifndef TRIVELD_SERVICE_PLATFORM_CALLS_H
#define TRIVELD_SERVICE_PLATFORM_CALLS_H

#include <windows.h>

#include <oleauto.h>

#include <cstddef>

using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);

// The platform calls that tests may replace, in one table: each stands for an
// answer or a failure the machine cannot be made to give on demand. The
// product never changes it; every other call goes to the system directly.
struct PlatformCalls {
    // Platform facts: a failing memory query, a process under WOW64.
    BOOL(WINAPI* globalMemoryStatusEx)(LPMEMORYSTATUSEX);
    BOOL(WINAPI* getVersionExA)(LPOSVERSIONINFOA);
    // Looks "IsWow64Process" up in kernel32 at run time; null when absent.
    IsWow64ProcessFunction (*findIsWow64Process)();

    // The viewer's version resource: reading a block whose size was just
    // reported fails only when the file changes in between.
    DWORD(WINAPI* getFileVersionInfoSizeW)(LPCWSTR file, LPDWORD handle);
    BOOL(WINAPI* getFileVersionInfoW)(LPCWSTR file, DWORD handle, DWORD size, LPVOID block);

    // The event log, which keeps no readable entries under Wine.
    HANDLE(WINAPI* registerEventSource)(LPCWSTR server, LPCWSTR source);
    BOOL(WINAPI* reportEvent)(HANDLE log, WORD type, WORD category, DWORD eventId, PSID user,
                              WORD stringCount, DWORD dataSize, LPCWSTR* strings, LPVOID data);
    BOOL(WINAPI* deregisterEventSource)(HANDLE log);

    // Allocations other than new (std::nothrow): the C runtime heap, the COM
    // task allocator and the system string allocator.
    void* (*allocate)(std::size_t size);
    void* (*reallocate)(void* block, std::size_t size);
    LPVOID(WINAPI* taskAllocate)(SIZE_T size);
    LPVOID(WINAPI* taskReallocate)(LPVOID block, SIZE_T size);
    void(WINAPI* taskFree)(LPVOID block);
    BSTR(WINAPI* sysAllocString)(const OLECHAR* text);
};

PlatformCalls& ActivePlatformCalls();

// The table as the product uses it: the real calls.
PlatformCalls RealPlatformCalls();

#endif
