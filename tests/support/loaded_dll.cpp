#include "tests/support/loaded_dll.h"

#include <gtest/gtest.h>

#include "tests/support/classes_view_route.h"
#include "triveld.h"

namespace {

// An export as a generic function pointer, ready for the cast to its type.
void (*Export(HMODULE module, const char* name))()
{
    return reinterpret_cast<void (*)()>(GetProcAddress(module, name));
}

} // namespace

LoadedDll::LoadedDll()
{
    module_ = LoadLibraryW(TRIVELD_DLL_PATH);
    EXPECT_NE(nullptr, module_) << "LoadLibraryW failed with " << GetLastError();
    if (module_ == nullptr) {
        return;
    }
    RouteViewedClassesOpens(module_);
    getClassObject_ = reinterpret_cast<GetClassObjectFunction>(Export(module_, "DllGetClassObject"));
    canUnloadNow_ = reinterpret_cast<CanUnloadNowFunction>(Export(module_, "DllCanUnloadNow"));
    EXPECT_NE(nullptr, getClassObject_);
    EXPECT_NE(nullptr, canUnloadNow_);
}

LoadedDll::~LoadedDll()
{
    if (module_ == nullptr) {
        return;
    }
    EXPECT_EQ(S_OK, CanUnloadNow()) << "a test left the module locked";
    EXPECT_TRUE(Unload());
}

IClassFactory* LoadedDll::Factory() const
{
    IClassFactory* factory = nullptr;
    EXPECT_EQ(S_OK, GetClassObject(CLSID_OrvWorkstationInfo, IID_IClassFactory,
                                   reinterpret_cast<void**>(&factory)));
    return factory;
}

bool LoadedDll::Unload()
{
    if (module_ == nullptr) {
        return !TriveldDllMapped();
    }
    FreeLibrary(module_);
    module_ = nullptr;
    getClassObject_ = nullptr;
    canUnloadNow_ = nullptr;
    return !TriveldDllMapped();
}

bool TriveldDllMapped()
{
    return GetModuleHandleW(TRIVELD_DLL_PATH) != nullptr;
}
