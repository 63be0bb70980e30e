#ifndef TRIVELD_BENCH_TYPE_LIBRARY_CENSUS_H
#define TRIVELD_BENCH_TYPE_LIBRARY_CENSUS_H

#include <windows.h>

// Counts what a loaded DLL asks of the automation runtime: its LoadRegTypeLib
// import is redirected to a counting stand-in whose type library and type
// information forward every call and count it. Install before the DLL's
// first IDispatch call.
struct TypeLibraryCensus {
    volatile LONG loadRegTypeLib = 0;
    volatile LONG getTypeInfoOfGuid = 0;
    volatile LONG typeInfoCalls = 0; // every ITypeInfo member but AddRef/Release
    volatile LONG typeInfoGetIDsOfNames = 0;
    volatile LONG typeInfoInvoke = 0;
};

// False when `module` does not import LoadRegTypeLib from oleaut32.
bool InstallTypeLibraryCensus(HMODULE module);
const TypeLibraryCensus& Census();

#endif
