// The process-wide records of the DLL, constructed in the order of their
// definitions here at load and destroyed in reverse at unload.
#include "frame/class_factory.h"
#include "frame/exception_pool.h"
#include "frame/module_instance.h"
#include "frame/object_map.h"
#include "frame/server_module.h"
#include "frame/workstation_creator.h"
#include "registration/class_registration.h"
#include "triveld.h"

namespace {

const wchar_t* NoDescription()
{
    return nullptr;
}

void NothingToStartOrStop(bool) {}

ObjectMapEntry orvWorkstationInfoRow = {
    &CLSID_OrvWorkstationInfo,
    &UpdateOrvWorkstationInfoRegistry,
    &ClassFactoryCreator,
    &CreateWorkstationInfo,
    nullptr,
    0,
    &NoDescription,
    &OrvWorkstationInfoCategories,
    &NothingToStartOrStop,
};

ObjectMapEntry* const objectMapRows[] = {&orvWorkstationInfoRow};

// First, so that it is destroyed last.
ExceptionPoolRelease theExceptionPoolRelease;
ObjectMap theObjectMap(objectMapRows, sizeof(objectMapRows) / sizeof(objectMapRows[0]));
ModuleInstance theModuleInstance;
ServerModule theServerModule(&theObjectMap);

} // namespace

ObjectMap* GetObjectMap()
{
    return &theObjectMap;
}

ModuleInstance* GetModuleInstance()
{
    return &theModuleInstance;
}

ServerModule* GetServerModule()
{
    return &theServerModule;
}
