// The self-registration entry points that setup tools (regsvr32) call. No
// exception may cross them.
#include <windows.h>

#include "frame/object_map.h"
#include "registration/all_classes.h"
#include "registration/module_type_library.h"
#include "registration/registration_script.h"

namespace {

HRESULT RegisterServer()
{
    HRESULT result = ApplyAppIdScript(true);
    if (FAILED(result)) {
        return result;
    }
    ObjectMap* objectMap = GetObjectMap();
    result = RegisterAllClasses(*objectMap);
    if (FAILED(result)) {
        return result;
    }
    return RegisterModuleTypeLibrary(objectMap->TypeLibraryModule());
}

// While the other product is registered in the other view, it needs the keys
// both views share: the ProgIDs, the AppID, the type library's key and the
// interface keys (the system's type library registration writes those into
// both views). Only this view's class key and this DLL's own type library
// entry go then; the last one to go removes everything.
HRESULT UnregisterThisViewOnly(const ObjectMap& objectMap)
{
    const HRESULT result = UnregisterClassKeys(objectMap);
    if (FAILED(result)) {
        return result;
    }
    return RemoveModuleTypeLibraryEntry(objectMap.TypeLibraryModule());
}

HRESULT UnregisterServer()
{
    ObjectMap* objectMap = GetObjectMap();
    if (OtherViewRegistersAnyClass(*objectMap)) {
        return UnregisterThisViewOnly(*objectMap);
    }
    HRESULT result = UnregisterAllClasses(*objectMap);
    if (FAILED(result)) {
        return result;
    }
    result = UnregisterModuleTypeLibrary(objectMap->TypeLibraryModule());
    if (FAILED(result)) {
        return result;
    }
    return ApplyAppIdScript(false);
}

} // namespace

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer()
{
    try {
        return RegisterServer();
    } catch (...) {
        return E_UNEXPECTED;
    }
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer()
{
    try {
        return UnregisterServer();
    } catch (...) {
        return E_UNEXPECTED;
    }
}
