#include "registration/module_type_library.h"

#include <shlwapi.h>

#include <cstring>

#include "frame/text_conversion.h"
#include "registration/module_path.h"
#include "service/platform_calls.h"
#include "service/registry_key.h"

namespace {

// A loaded type library with the path it came from, released on every way out.
class ModuleTypeLibrary {
public:
    ModuleTypeLibrary() = default;
    ~ModuleTypeLibrary()
    {
        SysFreeString(path_);
        if (library_ != nullptr) {
            library_->Release();
        }
    }
    ModuleTypeLibrary(const ModuleTypeLibrary&) = delete;
    ModuleTypeLibrary& operator=(const ModuleTypeLibrary&) = delete;

    HRESULT Load(HMODULE module) { return LoadModuleTypeLibrary(module, &path_, &library_); }
    BSTR Path() const { return path_; }
    ITypeLib* Library() const { return library_; }

private:
    BSTR path_ = nullptr;
    ITypeLib* library_ = nullptr;
};

HRESULT LoadFromNarrowPath(const char* narrowPath, wchar_t (&path)[MAX_PATH],
                           ITypeLib** library)
{
    if (WideFromNarrow(path, narrowPath, MAX_PATH, ConversionCodePage()) == nullptr) {
        return E_OUTOFMEMORY;
    }
    return LoadTypeLib(path, library);
}

// The directory part of `path`, its last separator included; empty when the
// path has none.
void HelpDirectoryOf(const wchar_t* path, wchar_t (&directory)[MAX_PATH])
{
    lstrcpynW(directory, path, MAX_PATH);
    std::size_t cut = 0;
    for (std::size_t index = 0; directory[index] != L'\0'; ++index) {
        const wchar_t c = directory[index];
        if (c == L'\\' || c == L'/' || c == L':') {
            cut = index + 1;
        }
    }
    directory[cut] = L'\0';
}

} // namespace

HRESULT LoadModuleTypeLibrary(HMODULE module, BSTR* path, ITypeLib** library)
{
    if (path == nullptr || library == nullptr) {
        return E_POINTER;
    }
    *path = nullptr;
    *library = nullptr;
    char narrowPath[MAX_PATH];
    HRESULT result = ModuleFileName(module, narrowPath);
    if (FAILED(result)) {
        return result;
    }
    const std::size_t extension = PathFindExtensionA(narrowPath) - narrowPath;
    wchar_t widePath[MAX_PATH];
    ITypeLib* loaded = nullptr;
    result = LoadFromNarrowPath(narrowPath, widePath, &loaded);
    if (FAILED(result)) {
        // The library may ship beside the module instead of inside it.
        if (extension + 5 > MAX_PATH) {
            return E_FAIL;
        }
        std::strcpy(narrowPath + extension, ".tlb");
        result = LoadFromNarrowPath(narrowPath, widePath, &loaded);
        if (FAILED(result)) {
            return result;
        }
    }
    *path = ActivePlatformCalls().sysAllocString(widePath);
    if (*path == nullptr) {
        loaded->Release();
        return E_OUTOFMEMORY;
    }
    *library = loaded;
    return S_OK;
}

HRESULT RegisterModuleTypeLibrary(HMODULE module)
{
    ModuleTypeLibrary typeLibrary;
    const HRESULT result = typeLibrary.Load(module);
    if (FAILED(result)) {
        return result;
    }
    wchar_t helpDirectory[MAX_PATH];
    HelpDirectoryOf(typeLibrary.Path(), helpDirectory);
    return RegisterTypeLib(typeLibrary.Library(), typeLibrary.Path(), helpDirectory);
}

namespace {

// TypeLib\{...}\<major>.<minor>\<lcid hex>\<platform> for the library's attributes.
bool EntryPath(const TLIBATTR& attributes, char (&path)[96])
{
    wchar_t library[39];
    if (StringFromGUID2(attributes.guid, library, 39) == 0) {
        return false;
    }
    const char* platform = attributes.syskind == SYS_WIN64 ? "win64" : "win32";
    return wsprintfA(path, "TypeLib\\%ls\\%x.%x\\%lx\\%s", library,
                     static_cast<unsigned>(attributes.wMajorVerNum),
                     static_cast<unsigned>(attributes.wMinorVerNum),
                     static_cast<unsigned long>(attributes.lcid), platform) > 0;
}

// Runs `work` on the attributes of the module's type library.
HRESULT WithLibraryAttributes(HMODULE module, HRESULT (*work)(const TLIBATTR& attributes))
{
    ModuleTypeLibrary typeLibrary;
    HRESULT result = typeLibrary.Load(module);
    if (FAILED(result)) {
        return result;
    }
    TLIBATTR* attributes = nullptr;
    result = typeLibrary.Library()->GetLibAttr(&attributes);
    if (FAILED(result)) {
        return result;
    }
    result = work(*attributes);
    typeLibrary.Library()->ReleaseTLibAttr(attributes);
    return result;
}

} // namespace

HRESULT RemoveModuleTypeLibraryEntry(HMODULE module)
{
    return WithLibraryAttributes(module, [](const TLIBATTR& attributes) {
        char path[96];
        if (!EntryPath(attributes, path)) {
            return E_FAIL;
        }
        const LONG deleted = RegDeleteKeyA(HKEY_CLASSES_ROOT, path);
        return deleted == ERROR_FILE_NOT_FOUND ? S_OK : Win32ToHresult(deleted);
    });
}

HRESULT UnregisterModuleTypeLibrary(HMODULE module)
{
    return WithLibraryAttributes(module, [](const TLIBATTR& attributes) {
        return UnRegisterTypeLib(attributes.guid, attributes.wMajorVerNum,
                                 attributes.wMinorVerNum, attributes.lcid, attributes.syskind);
    });
}
