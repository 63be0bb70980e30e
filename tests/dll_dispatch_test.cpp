// IDispatch of OrvWorkstationInfo on the built DLL: loading the registered
// type library, calls by dispatch id, the release of the type information
// at unload, and many threads at once.
#include <windows.h>

#include <oleauto.h>

#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/com_ptr.h"
#include "tests/support/dispatch_call.h"
#include "tests/support/loaded_dll.h"
#include "tests/support/scratch_registry.h"
#include "tests/support/type_library_registration.h"
#include "triveld.h"

namespace {

class DllDispatch : public testing::Test {
protected:
    void SetUp() override
    {
        RegisterTriveldTypeLib();
        ASSERT_TRUE(dll_.Loaded());
    }

    // A new object through the DLL's class object.
    IDispatch* NewObject()
    {
        ComPtr<IClassFactory> factory(dll_.Factory());
        IDispatch* object = nullptr;
        EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IDispatch,
                                                reinterpret_cast<void**>(&object)));
        return object;
    }

    LoadedDll dll_;
};

TEST_F(DllDispatch, UnregisteredLibraryFailsUntilRegistered)
{
    UnregisterTriveldTypeLib();
    const HRESULT loaderResult = TriveldTypeLibLookup();
    ASSERT_TRUE(FAILED(loaderResult));
    ComPtr<IDispatch> object(NewObject());
    ASSERT_NE(nullptr, object.Get());

    ITypeInfo* missing = reinterpret_cast<ITypeInfo*>(1);
    EXPECT_EQ(loaderResult, object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &missing));
    EXPECT_EQ(nullptr, missing);
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"ViewerType")};
    DISPID id = 0;
    EXPECT_EQ(loaderResult, object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    DispatchCall call;
    EXPECT_EQ(loaderResult, call.Method(object.Get(), 1));

    // Registered now: the same object in the same loaded DLL succeeds.
    RegisterTriveldTypeLib();
    ComPtr<ITypeInfo> typeInfo;
    EXPECT_EQ(S_OK, object->GetTypeInfo(0, LOCALE_USER_DEFAULT, typeInfo.Out()));
    EXPECT_NE(nullptr, typeInfo.Get());
    EXPECT_EQ(S_OK, object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    EXPECT_EQ(5, id);
    EXPECT_EQ(S_OK, call.Method(object.Get(), 1));
    EXPECT_EQ(VT_I4, V_VT(&call.Result()));
}

// The references an object has now, read through an AddRef/Release pair.
template <typename T>
ULONG References(T* object)
{
    object->AddRef();
    return object->Release();
}

TEST_F(DllDispatch, UnloadReleasesTheTypeInformationOnce)
{
    ComPtr<ITypeLib> library;
    ASSERT_EQ(S_OK, LoadRegTypeLib(LIBID_TriveldLib, 2, 0, LOCALE_NEUTRAL, library.Out()));
    const ULONG idleLibrary = References(library.Get());
    ComPtr<IDispatch> object(NewObject());
    ComPtr<ITypeInfo> typeInfo;
    ASSERT_EQ(S_OK, object->GetTypeInfo(0, LOCALE_USER_DEFAULT, typeInfo.Out()));
    object.Reset();
    // The DLL's holder and this test.
    EXPECT_EQ(2u, References(typeInfo.Get()));

    ASSERT_TRUE(dll_.Unload());
    EXPECT_EQ(1u, References(typeInfo.Get()));
    typeInfo.Reset();
    EXPECT_EQ(idleLibrary, References(library.Get()));
}

// The call reached the member: it answered, or it failed with a result of
// its own rather than a dispatch error of the type information.
bool ReachedMember(HRESULT result, const DispatchCall& call)
{
    if (result == S_OK) {
        return true;
    }
    const SCODE memberResult = call.Exception().scode;
    return result == DISP_E_EXCEPTION && FAILED(memberResult) &&
           HRESULT_FACILITY(memberResult) != FACILITY_DISPATCH;
}

TEST_F(DllDispatch, EveryDispatchIdReachesItsMember)
{
    ComPtr<IDispatch> object(NewObject());
    ComPtr<ITypeInfo> typeInfo;
    ASSERT_EQ(S_OK, object->GetTypeInfo(0, LOCALE_USER_DEFAULT, typeInfo.Out()));
    // Loaded; from here on the members see an empty machine.
    ScratchRegistry registry;
    DispatchCall call;

    MEMORYSTATUSEX memory = {};
    memory.dwLength = sizeof(memory);
    ASSERT_TRUE(GlobalMemoryStatusEx(&memory));
    ASSERT_EQ(S_OK, call.Method(object.Get(), 1));
    ASSERT_EQ(VT_I4, V_VT(&call.Result()));
    EXPECT_EQ(static_cast<LONG>(memory.ullTotalPhys >> 20), V_I4(&call.Result()));

    ASSERT_EQ(S_OK, call.Method(object.Get(), 2));
    ASSERT_EQ(VT_BOOL, V_VT(&call.Result()));
    // Both DLLs run on 64-bit Wine: the 32-bit one under WOW64.
    EXPECT_EQ(VARIANT_TRUE, V_BOOL(&call.Result()));

    HRESULT result = call.Get(object.Get(), 3);
    EXPECT_TRUE(ReachedMember(result, call)) << std::hex << result;
    result = call.Put(object.Get(), 3, BoolArgument(VARIANT_TRUE));
    EXPECT_TRUE(ReachedMember(result, call)) << std::hex << result;
    for (DISPID id : {4, 5, 6}) {
        result = call.Get(object.Get(), id);
        EXPECT_TRUE(ReachedMember(result, call)) << id << ": " << std::hex << result;
    }
    result = call.Method(object.Get(), 7, {LongArgument(1)});
    EXPECT_TRUE(ReachedMember(result, call)) << std::hex << result;
    // The member's own argument test answers through the exception.
    EXPECT_EQ(DISP_E_EXCEPTION, call.Method(object.Get(), 7, {LongArgument(0)}));
    EXPECT_EQ(E_INVALIDARG, call.Exception().scode);
}

TEST_F(DllDispatch, ThreadsCreateCallAndReleaseObjects)
{
    constexpr int kThreads = 8;
    constexpr int kObjectsPerThread = 25;
    ComPtr<IClassFactory> factory(dll_.Factory());
    ASSERT_NE(nullptr, factory.Get());
    HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(nullptr, start);
    volatile LONG failures = 0;
    std::vector<std::thread> threads;
    for (int index = 0; index < kThreads; ++index) {
        threads.emplace_back([&] {
            WaitForSingleObject(start, INFINITE);
            for (int round = 0; round < kObjectsPerThread; ++round) {
                ComPtr<IDispatch> object;
                if (factory->CreateInstance(nullptr, IID_IDispatch,
                                            reinterpret_cast<void**>(object.Out())) != S_OK) {
                    InterlockedIncrement(&failures);
                    continue;
                }
                LPOLESTR names[] = {const_cast<LPOLESTR>(L"GetPhysicalMemory")};
                DISPID id = 0;
                DispatchCall call;
                if (object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id) != S_OK ||
                    id != 1 || call.Method(object.Get(), id) != S_OK ||
                    V_VT(&call.Result()) != VT_I4) {
                    InterlockedIncrement(&failures);
                }
                ComPtr<IOrvWorkstationInfo> info;
                LONG memory = 0;
                if (object->QueryInterface(IID_IOrvWorkstationInfo,
                                           reinterpret_cast<void**>(info.Out())) != S_OK ||
                    info->GetPhysicalMemory(&memory) != S_OK || memory != V_I4(&call.Result())) {
                    InterlockedIncrement(&failures);
                }
            }
        });
    }
    SetEvent(start);
    for (std::thread& thread : threads) {
        thread.join();
    }
    CloseHandle(start);
    EXPECT_EQ(0, failures);
    EXPECT_EQ(S_FALSE, dll_.CanUnloadNow());
    factory.Reset();
    EXPECT_EQ(S_OK, dll_.CanUnloadNow());
}

} // namespace
