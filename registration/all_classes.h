#ifndef TRIVELD_REGISTRATION_ALL_CLASSES_H
#define TRIVELD_REGISTRATION_ALL_CLASSES_H

#include <windows.h>

class ObjectMap;

// Each row of the map in table order: its script, then its categories. Stops
// at the first failure.
HRESULT RegisterAllClasses(const ObjectMap& objectMap);
// Each row of the map in table order: its categories, then its script run
// backwards (the script's plain delete of the class key needs the emptied
// category key gone first). Stops at the first failure.
HRESULT UnregisterAllClasses(const ObjectMap& objectMap);

// True when the other registry view registers one of the map's classes with
// the other product's DLL (see registration/other_view_class.h).
bool OtherViewRegistersAnyClass(const ObjectMap& objectMap);
// Each row's categories, then its class key, in this view only: what
// unregistering takes while the other product still needs the shared keys
// (ProgIDs, AppID, type library key). Stops at the first failure.
HRESULT UnregisterClassKeys(const ObjectMap& objectMap);

#endif
