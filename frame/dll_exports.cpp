// The entry points through which the COM runtime reaches the DLL. No
// exception may cross them.
#include <windows.h>

#include "frame/object_map.h"
#include "frame/server_module.h"

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID classId, REFIID iid, void** object)
{
    try {
        return GetObjectMap()->GetClassObject(classId, iid, object);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return GetServerModule()->GetModuleLockCount() == 0 ? S_OK : S_FALSE;
}
