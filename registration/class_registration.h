#ifndef TRIVELD_REGISTRATION_CLASS_REGISTRATION_H
#define TRIVELD_REGISTRATION_CLASS_REGISTRATION_H

#include <windows.h>

#include <comcat.h>

// One component category of a class; a table ends with a row of kind
// kCategoryEnd. Kind kCategoryImplemented marks an implemented category,
// any other non-zero kind a required one.
struct CategoryMapEntry {
    DWORD kind;
    const CATID* category;
};

constexpr DWORD kCategoryEnd = 0;
constexpr DWORD kCategoryImplemented = 1;

// The categories OrvWorkstationInfo implements: safe for scripting and
// safe for initializing.
const CategoryMapEntry* OrvWorkstationInfoCategories();

// Registers or unregisters the class's registry entries.
HRESULT UpdateOrvWorkstationInfoRegistry(bool registering);

#endif
