#include "registration/script_resource.h"

#include <cstring>
#include <memory>
#include <new>

#include "registration/narrow_text.h"
#include "registration/registry_script_parser.h"
#include "service/registry_key.h"

namespace {

// A module mapped as data for reading its resources; freed on every way out.
class DataModule {
public:
    explicit DataModule(const char* path)
        : module_(LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~DataModule()
    {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }
    DataModule(const DataModule&) = delete;
    DataModule& operator=(const DataModule&) = delete;

    HMODULE Get() const { return module_; }

private:
    HMODULE module_;
};

} // namespace

HRESULT RunScriptResource(const Registrar& registrar, const wchar_t* modulePath,
                          UINT resourceId, const wchar_t* type, bool registering)
{
    NarrowText narrowType;
    NarrowText narrowPath;
    if (!narrowType.Assign(type) || !narrowPath.Assign(modulePath)) {
        return E_OUTOFMEMORY;
    }
    DataModule module(narrowPath.Get());
    if (module.Get() == nullptr) {
        return LastFailureHresult();
    }
    HRSRC found = FindResourceA(module.Get(), MAKEINTRESOURCEA(resourceId), narrowType.Get());
    if (found == nullptr) {
        return LastFailureHresult();
    }
    HGLOBAL loaded = LoadResource(module.Get(), found);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) {
        return LastFailureHresult();
    }
    // The script is stored without a terminator; the copy gets one.
    const DWORD size = SizeofResource(module.Get(), found);
    std::unique_ptr<char[]> script(new (std::nothrow) char[size + 1]);
    if (!script) {
        return E_OUTOFMEMORY;
    }
    std::memcpy(script.get(), bytes, size);
    script[size] = '\0';
    RegistryScriptParser parser(&registrar);
    return parser.RunScript(script.get(), registering);
}
