#ifndef TRIVELD_TESTS_TYPE_LIBRARY_REGISTRATION_H
#define TRIVELD_TESTS_TYPE_LIBRARY_REGISTRATION_H

#include <windows.h>

#include <oleauto.h>

// Registers TriveldLib from this build's DLL in the test prefix (the
// real HKCR: the automation runtime's lookups bypass registry overrides).
// Tests that change the registration share the CTest resource lock
// "typelib_registration".
void RegisterTriveldTypeLib();
void UnregisterTriveldTypeLib();

// What LoadRegTypeLib answers for TriveldLib 2.0 right now; a loaded library
// is released at once.
HRESULT TriveldTypeLibLookup();

#endif
