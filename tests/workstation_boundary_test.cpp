// The argument tests at the boundary of every member of CWorkstationInfo.
#include <windows.h>

#include <gtest/gtest.h>

#include "frame/server_module.h"
#include "service/product_bitness.h"
#include "service/workstation_info.h"
#include "tests/support/com_ptr.h"
#include "tests/support/platform_fakes.h"
#include "tests/support/scratch_registry.h"
#include "tests/support/workstation_object.h"

namespace {

// An object whose snapshot is missing, which the factory never hands out.
CWorkstationInfo* NewObjectWithoutSnapshot()
{
    CWorkstationInfo* object = new CWorkstationInfo();
    object->AddRef();
    return object;
}

TEST(WorkstationBoundary, NullOutPointers)
{
    CWorkstationInfo* object = NewWorkstationInfo();
    EXPECT_EQ(E_INVALIDARG, object->GetPhysicalMemory(nullptr));
    EXPECT_EQ(E_INVALIDARG, object->Is64BitOS(nullptr));
    EXPECT_EQ(E_INVALIDARG, object->get_DoNotUpgradeTo64(nullptr));
    EXPECT_EQ(E_POINTER, object->get_NetVersion(nullptr));
    EXPECT_EQ(E_POINTER, object->get_ViewerType(nullptr));
    EXPECT_EQ(E_POINTER, object->get_ViewerVersion(nullptr));
    EXPECT_EQ(E_POINTER, object->GetLastClientInstallStatus(1, nullptr));
    EXPECT_EQ(0u, object->Release());
}

TEST(WorkstationBoundary, MissingSnapshotFailsTheFourMembersThatNeedIt)
{
    CWorkstationInfo* object = NewObjectWithoutSnapshot();
    LONG memory = 77;
    VARIANT_BOOL flag = 77;
    EXPECT_EQ(E_FAIL, object->GetPhysicalMemory(&memory));
    EXPECT_EQ(77, memory);
    EXPECT_EQ(E_FAIL, object->Is64BitOS(&flag));
    EXPECT_EQ(E_FAIL, object->get_DoNotUpgradeTo64(&flag));
    EXPECT_EQ(77, flag);
    EXPECT_EQ(E_FAIL, object->put_DoNotUpgradeTo64(VARIANT_TRUE));
    // The null-pointer test comes first.
    EXPECT_EQ(E_INVALIDARG, object->GetPhysicalMemory(nullptr));
    object->Release();
}

TEST(WorkstationBoundary, PhysicalMemoryFromTheSnapshot)
{
    FakePlatform platform;
    platform.ReportTotalMemory(3ull << 30);
    CWorkstationInfo* object = NewWorkstationInfo();
    platform.ReportTotalMemory(1ull << 30);
    LONG memory = 0;
    EXPECT_EQ(S_OK, object->GetPhysicalMemory(&memory));
    EXPECT_EQ(3072, memory);
    memory = 0;
    EXPECT_EQ(S_OK, object->GetPhysicalMemory(&memory));
    EXPECT_EQ(3072, memory);
    object->Release();
}

TEST(WorkstationBoundary, ZeroMemoryIsWrittenAndFails)
{
    FakePlatform platform;
    platform.MemoryQueryFails();
    CWorkstationInfo* object = NewWorkstationInfo();
    LONG memory = 77;
    EXPECT_EQ(E_FAIL, object->GetPhysicalMemory(&memory));
    EXPECT_EQ(0, memory);
    object->Release();
}

TEST(WorkstationBoundary, Is64BitOsFromTheSnapshot)
{
    FakePlatform platform;
    platform.IsWow64ProcessAnswers(TRUE);
    CWorkstationInfo* wow64 = NewWorkstationInfo();
    platform.IsWow64ProcessAnswers(FALSE);
    CWorkstationInfo* native = NewWorkstationInfo();
    platform.VersionQueryFails();
    platform.IsWow64ProcessAnswers(TRUE);
    CWorkstationInfo* noVersion = NewWorkstationInfo();

    VARIANT_BOOL flag = 77;
    EXPECT_EQ(S_OK, wow64->Is64BitOS(&flag));
    EXPECT_EQ(VARIANT_TRUE, flag);
    // Not under WOW64: 32-bit Windows for the 32-bit DLL; the 64-bit one runs
    // only on 64-bit Windows.
    EXPECT_EQ(S_OK, native->Is64BitOS(&flag));
    EXPECT_EQ(kProcessIs64Bit ? VARIANT_TRUE : VARIANT_FALSE, flag);
    EXPECT_EQ(S_OK, noVersion->Is64BitOS(&flag));
    EXPECT_EQ(VARIANT_FALSE, flag);
    wow64->Release();
    native->Release();
    noVersion->Release();
}

TEST(WorkstationBoundary, OutValuesWrittenOnEntry)
{
    // Without the .NET setup key the call fails: the caller's old pointer is
    // gone from the out-parameter all the same.
    ScratchRegistry registry;
    CWorkstationInfo* object = NewWorkstationInfo();
    BSTR stale = SysAllocString(L"stale");
    BSTR text = stale;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), object->get_NetVersion(&text));
    EXPECT_EQ(nullptr, text);
    SysFreeString(stale);

    LONG status = 77;
    EXPECT_EQ(E_INVALIDARG, object->GetLastClientInstallStatus(0, &status));
    EXPECT_EQ(-1, status);
    status = 77;
    EXPECT_EQ(E_INVALIDARG, object->GetLastClientInstallStatus(-5, &status));
    EXPECT_EQ(-1, status);
    object->Release();
}

TEST(WorkstationBoundary, ObjectHoldsOneModuleLockForItsLifetime)
{
    const LONG before = GetServerModule()->GetModuleLockCount();
    CWorkstationInfo* object = NewWorkstationInfo();
    EXPECT_EQ(before + 1, GetServerModule()->GetModuleLockCount());
    EXPECT_EQ(2u, object->AddRef());
    EXPECT_EQ(1u, object->Release());
    EXPECT_EQ(0u, object->Release());
    EXPECT_EQ(before, GetServerModule()->GetModuleLockCount());
}

TEST(WorkstationBoundary, OnePointerForEveryInterface)
{
    CWorkstationInfo* object = NewWorkstationInfo();
    ComPtr<IUnknown> unknown;
    ComPtr<IDispatch> dispatch;
    ComPtr<IOrvWorkstationInfo> info;
    ASSERT_EQ(S_OK, object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(unknown.Out())));
    ASSERT_EQ(S_OK,
              object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.Out())));
    ASSERT_EQ(S_OK, object->QueryInterface(IID_IOrvWorkstationInfo,
                                           reinterpret_cast<void**>(info.Out())));
    EXPECT_EQ(static_cast<void*>(unknown.Get()), static_cast<void*>(dispatch.Get()));
    EXPECT_EQ(static_cast<void*>(unknown.Get()), static_cast<void*>(info.Get()));
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, object->QueryInterface(IID_IClassFactory, &none));
    EXPECT_EQ(nullptr, none);
    EXPECT_EQ(E_POINTER, object->QueryInterface(IID_IUnknown, nullptr));
    unknown.Reset();
    dispatch.Reset();
    info.Reset();
    EXPECT_EQ(0u, object->Release());
}

} // namespace
