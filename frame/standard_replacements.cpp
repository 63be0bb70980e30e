#include "frame/server_module.h"
#include "registration/registrar.h"

HRESULT ServerModule::AddStandardReplacements(Registrar* registrar)
{
    return registrar->DefineReplacement(L"APPID", kAppIdText);
}
