#ifndef TRIVELD_TESTS_LOADED_DLL_H
#define TRIVELD_TESTS_LOADED_DLL_H

#include <windows.h>

// The built x86_64 Triveld.dll, loaded for the object's lifetime with its
// two entry points. The DLL has static records of its own, apart from the
// copies linked into the test program.
class LoadedDll {
public:
    using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using CanUnloadNowFunction = HRESULT(STDAPICALLTYPE*)();

    LoadedDll();
    // Unloads only when nothing holds the module, as a host would.
    ~LoadedDll();

    LoadedDll(const LoadedDll&) = delete;
    LoadedDll& operator=(const LoadedDll&) = delete;

    bool Loaded() const { return module_ != nullptr && getClassObject_ != nullptr &&
                                 canUnloadNow_ != nullptr; }
    HRESULT GetClassObject(REFCLSID classId, REFIID iid, void** object) const
    {
        return getClassObject_(classId, iid, object);
    }
    HRESULT CanUnloadNow() const { return canUnloadNow_(); }
    HMODULE Module() const { return module_; }
    // The class factory of OrvWorkstationInfo; the caller releases it.
    IClassFactory* Factory() const;

    // Unloads now; true when the image is gone from the process afterwards.
    bool Unload();

private:
    HMODULE module_ = nullptr;
    GetClassObjectFunction getClassObject_ = nullptr;
    CanUnloadNowFunction canUnloadNow_ = nullptr;
};

// True while the DLL's image is mapped in this process.
bool TriveldDllMapped();

#endif
