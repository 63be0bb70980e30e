// The DLL's entry points as the COM runtime uses them: class-object lookup,
// the unload answer and the module locks behind it, on the built DLL itself.
#include <windows.h>

#include <algorithm>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "frame/class_factory.h"
#include "tests/support/com_ptr.h"
#include "tests/support/heap_census.h"
#include "tests/support/import_slot.h"
#include "tests/support/loaded_dll.h"
#include "triveld.h"

namespace {

const CLSID kOtherClass = {0x5B1E0C42, 0x7A93, 0x4D61,
                           {0x9E, 0x2F, 0x3C, 0x8A, 0x0D, 0x4B, 0x7E, 0x16}};

class DllEntryPoints : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dll_.Loaded()); }

    LoadedDll dll_;
};

TEST_F(DllEntryPoints, FreshLoadMayUnload)
{
    EXPECT_EQ(S_OK, dll_.CanUnloadNow());
}

TEST_F(DllEntryPoints, ClassObjectIsMadeOnceAndKept)
{
    ComPtr<IClassFactory> first;
    ComPtr<IClassFactory> second;
    ASSERT_EQ(S_OK, dll_.GetClassObject(CLSID_OrvWorkstationInfo, IID_IClassFactory,
                                        reinterpret_cast<void**>(first.Out())));
    ASSERT_EQ(S_OK, dll_.GetClassObject(CLSID_OrvWorkstationInfo, IID_IClassFactory,
                                        reinterpret_cast<void**>(second.Out())));
    EXPECT_EQ(first.Get(), second.Get());

    // The class object answers IUnknown and IClassFactory only.
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(S_OK, dll_.GetClassObject(CLSID_OrvWorkstationInfo, IID_IUnknown,
                                        reinterpret_cast<void**>(unknown.Out())));
    EXPECT_EQ(static_cast<void*>(first.Get()), static_cast<void*>(unknown.Get()));
    void* dispatch = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE,
              dll_.GetClassObject(CLSID_OrvWorkstationInfo, IID_IDispatch, &dispatch));
    EXPECT_EQ(nullptr, dispatch);

    // The refused request left the cached class object in place.
    first.Reset();
    second.Reset();
    unknown.Reset();
    ComPtr<IClassFactory> later;
    ASSERT_EQ(S_OK, dll_.GetClassObject(CLSID_OrvWorkstationInfo, IID_IClassFactory,
                                        reinterpret_cast<void**>(later.Out())));
    ComPtr<IClassFactory> again;
    ASSERT_EQ(S_OK, dll_.GetClassObject(CLSID_OrvWorkstationInfo, IID_IClassFactory,
                                        reinterpret_cast<void**>(again.Out())));
    EXPECT_EQ(later.Get(), again.Get());
}

TEST_F(DllEntryPoints, UnknownClassAndMissingOutPointer)
{
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE,
              dll_.GetClassObject(kOtherClass, IID_IClassFactory, &object));
    EXPECT_EQ(nullptr, object);
    object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, dll_.GetClassObject(GUID_NULL, IID_IUnknown, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(E_POINTER, dll_.GetClassObject(CLSID_OrvWorkstationInfo, IID_IClassFactory, nullptr));
    EXPECT_EQ(E_POINTER, dll_.GetClassObject(kOtherClass, IID_IClassFactory, nullptr));
    EXPECT_EQ(S_OK, dll_.CanUnloadNow());
}

TEST_F(DllEntryPoints, HeldClassObjectKeepsTheModule)
{
    ComPtr<IClassFactory> first(dll_.Factory());
    EXPECT_EQ(S_FALSE, dll_.CanUnloadNow());
    ComPtr<IClassFactory> second(dll_.Factory());
    first.Reset();
    EXPECT_EQ(S_FALSE, dll_.CanUnloadNow());
    second.Reset();
    EXPECT_EQ(S_OK, dll_.CanUnloadNow());
}

TEST_F(DllEntryPoints, LiveObjectKeepsTheModule)
{
    ComPtr<IClassFactory> factory(dll_.Factory());
    ASSERT_NE(nullptr, factory.Get());
    ComPtr<IOrvWorkstationInfo> object;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IOrvWorkstationInfo,
                                            reinterpret_cast<void**>(object.Out())));
    factory.Reset();
    EXPECT_EQ(S_FALSE, dll_.CanUnloadNow());
    LONG memory = 0;
    EXPECT_EQ(S_OK, object->GetPhysicalMemory(&memory));
    EXPECT_GT(memory, 0);
    object.Reset();
    EXPECT_EQ(S_OK, dll_.CanUnloadNow());
}

TEST_F(DllEntryPoints, LockServerIsCountedWithoutChecks)
{
    ComPtr<IClassFactory> factory(dll_.Factory());
    ASSERT_NE(nullptr, factory.Get());
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    factory.Reset();
    EXPECT_EQ(S_FALSE, dll_.CanUnloadNow());

    factory.Out();
    ComPtr<IClassFactory> again(dll_.Factory());
    EXPECT_EQ(S_OK, again->LockServer(FALSE));
    // Below zero: one more unlock than locks.
    EXPECT_EQ(S_OK, again->LockServer(FALSE));
    again.Reset();
    EXPECT_EQ(S_FALSE, dll_.CanUnloadNow());
    ComPtr<IClassFactory> last(dll_.Factory());
    EXPECT_EQ(S_OK, last->LockServer(TRUE));
    last.Reset();
    EXPECT_EQ(S_OK, dll_.CanUnloadNow());
}

TEST_F(DllEntryPoints, ThreadsRacingTheFirstRequestShareOneClassObject)
{
    constexpr int kThreads = 8;
    HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(nullptr, start);
    std::vector<IClassFactory*> factories(kThreads, nullptr);
    std::vector<HRESULT> results(kThreads, E_FAIL);
    std::vector<std::thread> threads;
    for (int index = 0; index < kThreads; ++index) {
        threads.emplace_back([&, index] {
            WaitForSingleObject(start, INFINITE);
            results[index] =
                dll_.GetClassObject(CLSID_OrvWorkstationInfo, IID_IClassFactory,
                                    reinterpret_cast<void**>(&factories[index]));
        });
    }
    SetEvent(start);
    for (std::thread& thread : threads) {
        thread.join();
    }
    CloseHandle(start);
    for (int index = 0; index < kThreads; ++index) {
        EXPECT_EQ(S_OK, results[index]);
        EXPECT_EQ(factories[0], factories[index]);
    }
    ComPtr<IClassFactory> later(dll_.Factory());
    EXPECT_EQ(factories[0], later.Get());
    later.Reset();
    for (IClassFactory* factory : factories) {
        if (factory != nullptr) {
            factory->Release();
        }
    }
    EXPECT_EQ(S_OK, dll_.CanUnloadNow());
}

// ---- Unloading ----

// What the stand-in below saw while the DLL's module records were destroyed.
const void* watchedFactory = nullptr;
HeapBlock watchedPool = {nullptr, 0};
int poolBusyAtRecordTeardown = -1;

// The DLL's DeleteCriticalSection while it unloads. The class factory's lock
// is deleted when the object map, a module record, releases the cached factory.
void WINAPI WatchingDeleteCriticalSection(CRITICAL_SECTION* section)
{
    const BYTE* at = reinterpret_cast<const BYTE*>(section);
    const BYTE* factory = static_cast<const BYTE*>(watchedFactory);
    if (factory != nullptr && at >= factory && at < factory + sizeof(ClassFactory)) {
        poolBusyAtRecordTeardown = HeapBlockBusy(watchedPool) ? 1 : 0;
    }
    DeleteCriticalSection(section);
}

// The largest block of `after` that `before` (and its own list) did not hold.
HeapBlock LargestNewBlock(const std::vector<HeapBlock>& before,
                          const std::vector<HeapBlock>& after)
{
    HeapBlock largest = {nullptr, 0};
    for (const HeapBlock& block : after) {
        const bool old = block.address == before.data() ||
                         std::any_of(before.begin(), before.end(), [&](const HeapBlock& seen) {
                             return seen.address == block.address && seen.size == block.size;
                         });
        if (!old && block.size > largest.size) {
            largest = block;
        }
    }
    return largest;
}

// The C++ runtime's emergency exception pool is the largest block the DLL's
// load allocates. Unloading frees it, but only after the module records are
// destroyed: their teardown is the DLL's last code to run, and nothing may
// find the runtime's pool freed while the DLL's code still runs.
TEST(DllUnload, ExceptionPoolOutlivesTheModuleRecords)
{
    ASSERT_FALSE(TriveldDllMapped());
    const std::vector<HeapBlock> before = BusyHeapBlockList();
    LoadedDll dll;
    ASSERT_TRUE(dll.Loaded());
    watchedPool = LargestNewBlock(before, BusyHeapBlockList());
    // Dozens of exception-sized slots.
    ASSERT_GE(watchedPool.size, 16u * 1024);
    {
        ComPtr<IClassFactory> factory(dll.Factory());
        watchedFactory = factory.Get();
    }
    void** slot = FindImportSlot(dll.Module(), "kernel32.dll", "DeleteCriticalSection");
    ASSERT_NE(nullptr,
              ReplaceImport(slot, reinterpret_cast<void*>(&WatchingDeleteCriticalSection)));
    poolBusyAtRecordTeardown = -1;
    EXPECT_TRUE(dll.Unload());
    watchedFactory = nullptr;
    EXPECT_EQ(1, poolBusyAtRecordTeardown) << "-1: the factory's lock was never deleted";
    EXPECT_FALSE(HeapBlockBusy(watchedPool)) << "the pool outlived the DLL";
}

} // namespace
