#include "registration/module_path.h"

#include "service/registry_key.h"

HRESULT ModuleFileName(HMODULE module, char (&path)[MAX_PATH])
{
    path[0] = '\0';
    const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    if (length == 0) {
        return LastFailureHresult();
    }
    if (length >= MAX_PATH) {
        path[0] = '\0';
        return Win32ToHresult(ERROR_INSUFFICIENT_BUFFER);
    }
    return S_OK;
}
