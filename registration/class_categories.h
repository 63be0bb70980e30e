#ifndef TRIVELD_REGISTRATION_CLASS_CATEGORIES_H
#define TRIVELD_REGISTRATION_CLASS_CATEGORIES_H

#include <windows.h>

struct CategoryMapEntry;

// Records (or removes) the component categories of `classId` through the
// system's category manager. A class without categories, or a system
// without the manager, is left as it is with S_OK. Unregistering also
// deletes the class's category keys once they are empty.
HRESULT UpdateClassCategories(REFCLSID classId, const CategoryMapEntry* categories,
                              bool registering);

#endif
