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
// Removes only the module's own entry, TypeLib\{...}\<version>\<lcid>\win32
// (or win64), and keeps what registrations of the library's other system kind
// share with it: the library's key, its help directory and flags, and the
// interface keys (which the system writes into both registry views). An
// absent entry is S_OK.
HRESULT RemoveModuleTypeLibraryEntry(HMODULE module);

#endif
