#include "service/platform_facts.h"

#include "service/platform_calls.h"
#include "service/product_bitness.h"

bool RunsUnderWow64()
{
    IsWow64ProcessFunction isWow64Process = ActivePlatformCalls().findIsWow64Process();
    if (isWow64Process == nullptr) {
        return false;
    }
    BOOL underWow64 = 0;
    if (!isWow64Process(GetCurrentProcess(), &underWow64)) {
        return false;
    }
    return underWow64 == 1;
}

bool WindowsIs64Bit()
{
    return kProcessIs64Bit || RunsUnderWow64();
}

PlatformFacts::PlatformFacts()
{
    const PlatformCalls& calls = ActivePlatformCalls();

    MEMORYSTATUSEX memory = {};
    memory.dwLength = sizeof(memory);
    if (calls.globalMemoryStatusEx(&memory)) {
        totalPhysicalMemoryMb_ = static_cast<DWORD>(memory.ullTotalPhys >> 20);
    }

    OSVERSIONINFOEXA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!calls.getVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&version))) {
        return;
    }
    is64Bit_ = WindowsIs64Bit();
}
