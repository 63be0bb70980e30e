#ifndef TRIVELD_REGISTRATION_MODULE_TYPE_LIBRARY_H
#define TRIVELD_REGISTRATION_MODULE_TYPE_LIBRARY_H

#include <windows.h>

#include <oleauto.h>

// Loads the type library carried by `module`, or else the ".tlb" file of the
// same name beside it. On success the caller frees `*path` (the file that
// loaded) and releases `*library`; on failure both are null.
HRESULT LoadModuleTypeLibrary(HMODULE module, BSTR* path, ITypeLib** library);

// Registers the module's type library with its directory as the help directory.
HRESULT RegisterModuleTypeLibrary(HMODULE module);
// Removes the registration of the module's type library, version and system
// kind as the library itself names them.
HRESULT UnregisterModuleTypeLibrary(HMODULE module);

#endif
