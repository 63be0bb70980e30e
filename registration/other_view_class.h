#ifndef TRIVELD_REGISTRATION_OTHER_VIEW_CLASS_H
#define TRIVELD_REGISTRATION_OTHER_VIEW_CLASS_H

#include <windows.h>

// On 64-bit Windows the 32-bit and the 64-bit Triveld.dll may be registered
// side by side, each in its own process's registry view. CLSID and Interface
// exist once per view; the ProgIDs, the AppID keys and the type library key
// are one set of keys that both views share.

// True when the other view registers `classId` with an in-process server that
// is not `module`: the other product, which still needs the shared keys. A
// view that is this process's own one (32-bit Windows, or a redirected root
// that has no second view) names `module` itself, or nothing.
bool OtherViewRegistersClass(REFCLSID classId, HMODULE module);

// Removes the key of `classId` under HKEY_CLASSES_ROOT\CLSID, with everything
// beneath it, from this process's view; an absent key is S_OK.
HRESULT RemoveClassKey(REFCLSID classId);

#endif
