#include <windows.h>

#include "frame/server_module.h"

namespace __gnu_cxx {
// Frees the C++ runtime's emergency exception buffer (GCC's runtime).
void __freeres() noexcept;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        return ModuleInitFailed ? FALSE : TRUE;
    }
    // The statically linked C++ runtime allocates that buffer at load and
    // never frees it; without this every FreeLibrary would leak it.
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        __gnu_cxx::__freeres();
    }
    return TRUE;
}
