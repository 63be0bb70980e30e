#include "service/platform_calls.h"

#include <objbase.h>
#include <winver.h>

#include <cstdlib>

namespace {

IsWow64ProcessFunction FindRealIsWow64Process()
{
    HMODULE kernel = GetModuleHandleA("kernel32");
    if (kernel == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<IsWow64ProcessFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")));
}

void* HeapAllocate(std::size_t size)
{
    return std::malloc(size);
}

void* HeapReallocate(void* block, std::size_t size)
{
    return std::realloc(block, size);
}

PlatformCalls activeCalls = RealPlatformCalls();

} // namespace

PlatformCalls RealPlatformCalls()
{
    PlatformCalls calls = {};
    calls.globalMemoryStatusEx = &GlobalMemoryStatusEx;
    calls.getVersionExA = &GetVersionExA;
    calls.findIsWow64Process = &FindRealIsWow64Process;
    calls.getFileVersionInfoSizeW = &GetFileVersionInfoSizeW;
    calls.getFileVersionInfoW = &GetFileVersionInfoW;
    calls.registerEventSource = &RegisterEventSourceW;
    calls.reportEvent = &ReportEventW;
    calls.deregisterEventSource = &DeregisterEventSource;
    calls.allocate = &HeapAllocate;
    calls.reallocate = &HeapReallocate;
    calls.taskAllocate = &CoTaskMemAlloc;
    calls.taskReallocate = &CoTaskMemRealloc;
    calls.taskFree = &CoTaskMemFree;
    calls.sysAllocString = &SysAllocString;
    return calls;
}

PlatformCalls& ActivePlatformCalls()
{
    return activeCalls;
}
