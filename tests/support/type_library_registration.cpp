#include "tests/support/type_library_registration.h"

#include <gtest/gtest.h>

#include "tests/support/process_kind.h"
#include "triveld.h"

void RegisterTriveldTypeLib()
{
    ITypeLib* library = nullptr;
    ASSERT_EQ(S_OK, LoadTypeLibEx(TRIVELD_DLL_PATH, REGKIND_REGISTER, &library));
    library->Release();
    ASSERT_EQ(S_OK, TriveldTypeLibLookup());
}

void UnregisterTriveldTypeLib()
{
    UnRegisterTypeLib(LIBID_TriveldLib, 2, 0, LOCALE_NEUTRAL, kTypeLibSysKind);
    ASSERT_TRUE(FAILED(TriveldTypeLibLookup()));
}

HRESULT TriveldTypeLibLookup()
{
    ITypeLib* library = nullptr;
    const HRESULT result = LoadRegTypeLib(LIBID_TriveldLib, 2, 0, LOCALE_NEUTRAL, &library);
    if (library != nullptr) {
        library->Release();
    }
    return result;
}
