#include <windows.h>

#include "frame/server_module.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        return ModuleInitFailed ? FALSE : TRUE;
    }
    return TRUE;
}
