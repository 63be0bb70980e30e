#ifndef TRIVELD_REGISTRATION_SCRIPT_RESOURCE_H
#define TRIVELD_REGISTRATION_SCRIPT_RESOURCE_H

#include <windows.h>

class Registrar;

// Runs the registration script stored as resource `resourceId` of type
// `type` in the module at `modulePath`, with the registrar's replacements.
HRESULT RunScriptResource(const Registrar& registrar, const wchar_t* modulePath,
                          UINT resourceId, const wchar_t* type, bool registering);

#endif
