#ifndef TRIVELD_TESTS_IMPORT_SLOT_H
#define TRIVELD_TESTS_IMPORT_SLOT_H

#include <windows.h>

// The import address table slot through which `module` calls `function` of
// `dll` (imported by name), or null. Writing another address into it (after
// VirtualProtect) redirects the module's calls.
void** FindImportSlot(HMODULE module, const char* dll, const char* function);

// Points the slot at `replacement`; returns the address it held, or null.
void* ReplaceImport(void** slot, void* replacement);

#endif
