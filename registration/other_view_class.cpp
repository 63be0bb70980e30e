#include "registration/other_view_class.h"

#include "registration/narrow_text.h"
#include "service/product_bitness.h"
#include "service/registry_key.h"

namespace {

// "{...}" and its terminator.
constexpr int kClassTextCapacity = 39;

// CLSID\{...}\InprocServer32 and its terminator.
constexpr size_t kServerPathCapacity = 6 + kClassTextCapacity + 15;

// A fixed buffer rather than std::string: the DLL links no string code of the
// C++ library. The class text is ASCII.
bool ServerKeyPath(REFCLSID classId, char (&path)[kServerPathCapacity])
{
    wchar_t classText[kClassTextCapacity];
    if (StringFromGUID2(classId, classText, kClassTextCapacity) == 0) {
        return false;
    }
    return wsprintfA(path, "CLSID\\%ls\\InprocServer32", classText) > 0;
}

} // namespace

bool OtherViewRegistersClass(REFCLSID classId, HMODULE module)
{
    char path[kServerPathCapacity];
    if (!OtherProductViewExists() || !ServerKeyPath(classId, path)) {
        return false;
    }
    RegistryKey server;
    if (server.OpenKey(HKEY_CLASSES_ROOT, path, KEY_QUERY_VALUE | kOtherProductView) !=
        ERROR_SUCCESS) {
        return false;
    }
    wchar_t registered[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH * sizeof(wchar_t);
    DWORD type = 0;
    const LONG read = RegQueryValueExW(server.Handle(), nullptr, nullptr, &type,
                                       reinterpret_cast<BYTE*>(registered), &size);
    wchar_t own[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(module, own, MAX_PATH + 1);
    // A server that cannot be read or compared is still some registration of
    // the class, which holds the shared keys.
    if (read != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || length == 0 ||
        length > MAX_PATH) {
        return true;
    }
    return lstrcmpiW(registered, own) != 0;
}

HRESULT RemoveClassKey(REFCLSID classId)
{
    wchar_t classText[kClassTextCapacity];
    NarrowText name;
    if (StringFromGUID2(classId, classText, kClassTextCapacity) == 0 || !name.Assign(classText)) {
        return E_INVALIDARG;
    }
    RegistryKey classes;
    LONG result = classes.OpenKey(HKEY_CLASSES_ROOT, "CLSID", KEY_READ | KEY_WRITE);
    if (result == ERROR_SUCCESS) {
        result = classes.DeleteTree(name.Get());
    }
    return result == ERROR_FILE_NOT_FOUND ? S_OK : Win32ToHresult(result);
}
