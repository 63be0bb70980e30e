// Creation failures: allocations that fail (this program replaces the
// nothrow forms of operator new with ones that can fail on request) and a
// platform snapshot that throws. A failed creation leaves nothing behind:
// no object, no module lock, no cached class object.
#include <windows.h>

#include <cstdlib>
#include <new>
#include <stdexcept>

#include <gtest/gtest.h>

#include "frame/class_factory.h"
#include "frame/object_map.h"
#include "frame/server_module.h"
#include "frame/type_info_holder.h"
#include "frame/workstation_creator.h"
#include "service/platform_calls.h"
#include "tests/support/com_ptr.h"
#include "tests/support/heap_census.h"
#include "tests/support/platform_fakes.h"
#include "tests/support/type_library_registration.h"
#include "triveld.h"

namespace {

// 0: every allocation succeeds; n: the n-th nothrow allocation from now fails.
int failingAllocation = 0;
int allocationsSinceArmed = 0;

void FailNothrowAllocation(int nth)
{
    failingAllocation = nth;
    allocationsSinceArmed = 0;
}

void* Allocate(std::size_t size)
{
    if (failingAllocation != 0 && ++allocationsSinceArmed == failingAllocation) {
        failingAllocation = 0;
        return nullptr;
    }
    return std::malloc(size != 0 ? size : 1);
}

} // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return Allocate(size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return Allocate(size);
}

namespace {

LONG LockCount()
{
    return GetServerModule()->GetModuleLockCount();
}

BOOL WINAPI ThrowingMemoryStatus(LPMEMORYSTATUSEX)
{
    throw std::runtime_error("memory status");
}

class CreationFailure : public testing::Test {
protected:
    void SetUp() override { SuspendLeakCheck(false); }
    void TearDown() override { FailNothrowAllocation(0); }
};

TEST_F(CreationFailure, ObjectCannotBeAllocated)
{
    const LONG before = LockCount();
    void* object = reinterpret_cast<void*>(1);
    FailNothrowAllocation(1);
    EXPECT_EQ(E_OUTOFMEMORY, CreateWorkstationInfo(nullptr, IID_IUnknown, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(before, LockCount());
}

TEST_F(CreationFailure, SnapshotCannotBeAllocated)
{
    const LONG before = LockCount();
    void* object = reinterpret_cast<void*>(1);
    FailNothrowAllocation(2);
    EXPECT_EQ(E_OUTOFMEMORY, CreateWorkstationInfo(nullptr, IID_IUnknown, &object));
    EXPECT_EQ(2, allocationsSinceArmed);
    EXPECT_EQ(nullptr, object);
    // The object was made and destroyed again, giving back its module lock.
    EXPECT_EQ(before, LockCount());
}

TEST_F(CreationFailure, SnapshotThrows)
{
    FakePlatform platform;
    ActivePlatformCalls().globalMemoryStatusEx = &ThrowingMemoryStatus;
    const LONG before = LockCount();
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_FAIL, CreateWorkstationInfo(nullptr, IID_IOrvWorkstationInfo, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(before, LockCount());
}

TEST_F(CreationFailure, FactoryPassesTheCreationFailureOn)
{
    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, DllGetClassObject(CLSID_OrvWorkstationInfo, IID_IClassFactory,
                                      reinterpret_cast<void**>(&factory)));
    const LONG before = LockCount();
    void* object = reinterpret_cast<void*>(1);
    FailNothrowAllocation(2);
    EXPECT_EQ(E_OUTOFMEMORY, factory->CreateInstance(nullptr, IID_IDispatch, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(before, LockCount());
    factory->Release();
}

TEST_F(CreationFailure, ClassObjectCannotBeAllocatedAndIsRetried)
{
    ObjectMapEntry row = {&CLSID_OrvWorkstationInfo, nullptr, &ClassFactoryCreator,
                          &CreateWorkstationInfo, nullptr, 0, nullptr, nullptr, nullptr};
    ObjectMapEntry* rows[] = {&row};
    ObjectMap map(rows, 1);
    const LONG before = LockCount();
    void* object = reinterpret_cast<void*>(1);
    FailNothrowAllocation(1);
    EXPECT_EQ(E_OUTOFMEMORY, map.GetClassObject(CLSID_OrvWorkstationInfo, IID_IClassFactory,
                                                &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(nullptr, row.cachedClassObject);

    ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, map.GetClassObject(CLSID_OrvWorkstationInfo, IID_IClassFactory,
                                       reinterpret_cast<void**>(factory.Out())));
    EXPECT_NE(nullptr, row.cachedClassObject);
    EXPECT_EQ(before + 1, LockCount());
    factory.Reset();
    EXPECT_EQ(before, LockCount());
}

void CountCleanup(void* counter)
{
    ++*static_cast<int*>(counter);
}

TEST_F(CreationFailure, CleanupEntryCannotBeAllocated)
{
    ObjectMap map(nullptr, 0);
    int added = 0;
    int refused = 0;
    {
        ServerModule module(&map);
        ASSERT_EQ(S_OK, module.AddCleanup(&CountCleanup, &added));
        FailNothrowAllocation(1);
        EXPECT_EQ(E_OUTOFMEMORY, module.AddCleanup(&CountCleanup, &refused));
    }
    EXPECT_EQ(1, added);
    EXPECT_EQ(0, refused);
}

// A holder of this program's own: the one the objects use stays untouched.
TypeInfoHolder testHolder(&IID_IOrvWorkstationInfo, &LIBID_TriveldLib, 2, 0);

TEST_F(CreationFailure, NameCacheCannotBeAllocated)
{
    // Every load registers the holder's clean-up with the module, and this
    // test loads it afresh on each pass; the entry lives until the module ends.
    SuspendLeakCheck(true);
    RegisterTriveldTypeLib();
    TypeInfoHolder::ReleaseTypeInformation(&testHolder);
    const LONG loads = testHolder.LoadCount();
    const LONG forwardedBefore = testHolder.ForwardedNameLookups();
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"GetPhysicalMemory")};
    DISPID id = 0;

    // Loading allocates the clean-up entry, then the cache.
    FailNothrowAllocation(2);
    EXPECT_EQ(S_OK, testHolder.GetIDsOfNames(names, 1, LOCALE_USER_DEFAULT, &id));
    EXPECT_EQ(1, id);
    EXPECT_EQ(loads + 1, testHolder.LoadCount());
    // No cache: the type information answered.
    const LONG forwarded = testHolder.ForwardedNameLookups();
    EXPECT_EQ(forwardedBefore + 1, forwarded);

    // The next call builds the cache and answers from it.
    id = 0;
    EXPECT_EQ(S_OK, testHolder.GetIDsOfNames(names, 1, LOCALE_USER_DEFAULT, &id));
    EXPECT_EQ(1, id);
    EXPECT_EQ(forwarded, testHolder.ForwardedNameLookups());
    EXPECT_EQ(loads + 1, testHolder.LoadCount());
    TypeInfoHolder::ReleaseTypeInformation(&testHolder);
}

} // namespace
