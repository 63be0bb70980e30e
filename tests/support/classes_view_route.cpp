#include "tests/support/classes_view_route.h"

#include "tests/support/import_slot.h"

namespace {

HKEY volatile classesStandIn = nullptr;

constexpr REGSAM kViewFlags = KEY_WOW64_32KEY | KEY_WOW64_64KEY;

HKEY Routed(HKEY parent, REGSAM access)
{
    const HKEY standIn = classesStandIn;
    return parent == HKEY_CLASSES_ROOT && (access & kViewFlags) != 0 && standIn != nullptr
               ? standIn
               : parent;
}

using OpenA = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
using OpenW = LONG(WINAPI*)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY);

// The system's own functions: this program's import slots may be routed.
template <typename Function>
Function SystemFunction(const char* name)
{
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"advapi32.dll"), name)));
}

LONG WINAPI RoutedOpenA(HKEY parent, LPCSTR path, DWORD options, REGSAM access, PHKEY opened)
{
    static const OpenA open = SystemFunction<OpenA>("RegOpenKeyExA");
    return open(Routed(parent, access), path, options, access, opened);
}

LONG WINAPI RoutedOpenW(HKEY parent, LPCWSTR path, DWORD options, REGSAM access, PHKEY opened)
{
    static const OpenW open = SystemFunction<OpenW>("RegOpenKeyExW");
    return open(Routed(parent, access), path, options, access, opened);
}

void Route(HMODULE module, const char* function, void* replacement)
{
    void** slot = FindImportSlot(module, "advapi32.dll", function);
    if (slot != nullptr && *slot != replacement) {
        ReplaceImport(slot, replacement);
    }
}

} // namespace

void RouteViewedClassesOpens(HMODULE module)
{
    Route(module, "RegOpenKeyExA", reinterpret_cast<void*>(&RoutedOpenA));
    Route(module, "RegOpenKeyExW", reinterpret_cast<void*>(&RoutedOpenW));
}

void SetClassesStandIn(HKEY standIn)
{
    classesStandIn = standIn;
}
