#include <windows.h>

#include "frame/exception_pool.h"
#include "frame/server_module.h"

// The runtime destroys the module records only after this returns, at
// DLL_PROCESS_DETACH; the exception pool is released after them.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        return ModuleInitFailed ? FALSE : TRUE;
    }
    if (reason == DLL_PROCESS_DETACH) {
        NoteDllUnloading(reserved == nullptr);
    }
    return TRUE;
}
