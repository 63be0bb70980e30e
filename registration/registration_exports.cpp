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

// While the other product is registered in the other view, it keeps the keys
// both views share (ProgIDs, AppID, type library key); only this view's class
// key and this DLL's type library entry go. The last one removes them all.
HRESULT UnregisterServer()
{
    ObjectMap* objectMap = GetObjectMap();
    const bool sharedKeysInUse = OtherViewRegistersAnyClass(*objectMap);
    HRESULT result =
        sharedKeysInUse ? UnregisterClassKeys(*objectMap) : UnregisterAllClasses(*objectMap);
    if (FAILED(result)) {
        return result;
    }
    result = UnregisterModuleTypeLibrary(objectMap->TypeLibraryModule());
    if (FAILED(result) || sharedKeysInUse) {
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
