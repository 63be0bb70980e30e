#include "service/platform_calls.h"

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

PlatformCalls activeCalls = RealPlatformCalls();

} // namespace

PlatformCalls RealPlatformCalls()
{
    return PlatformCalls{&GlobalMemoryStatusEx, &GetVersionExA, &FindRealIsWow64Process};
}

PlatformCalls& ActivePlatformCalls()
{
    return activeCalls;
}
