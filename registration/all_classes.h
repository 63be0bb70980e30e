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

#endif
