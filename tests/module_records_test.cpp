// The module records on instances of their own: class-object lookup and
// caching in an object map, the module's start/stop calls and clean-up list,
// and the small routines the other parts share.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "frame/critical_section.h"
#include "frame/module_instance.h"
#include "frame/object_map.h"
#include "frame/server_module.h"
#include "frame/text_conversion.h"
#include "registration/class_registration.h"
#include "registration/registrar.h"
#include "triveld.h"

namespace {

const CLSID kClassA = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
const CLSID kClassB = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x56}};
const CLSID kClassC = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x57}};

// What the fake rows saw, in order.
std::string journal;

// A class object that answers IUnknown only and counts its references.
class FakeClassObject : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!IsEqualIID(iid, IID_IUnknown)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        *object = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }

    LONG references = 0;
};

FakeClassObject fakeClassObject;
int creations = 0;

HRESULT InstanceCreatorOfA(IUnknown*, REFIID, void**)
{
    return E_NOTIMPL;
}

HRESULT CreateFakeClassObject(InstanceCreator createInstance, REFIID iid, void** object)
{
    ++creations;
    EXPECT_EQ(&InstanceCreatorOfA, createInstance);
    EXPECT_TRUE(IsEqualIID(iid, IID_IUnknown));
    return fakeClassObject.QueryInterface(iid, object);
}

HRESULT FailToCreate(InstanceCreator, REFIID, void** object)
{
    ++creations;
    *object = nullptr;
    return E_OUTOFMEMORY;
}

HRESULT SucceedWithNothing(InstanceCreator, REFIID, void** object)
{
    *object = nullptr;
    return S_OK;
}

void StartStopA(bool starting)
{
    journal += starting ? "start A;" : "stop A;";
}

void StartStopB(bool starting)
{
    journal += starting ? "start B;" : "stop B;";
}

void RecordCleanup(void* argument)
{
    journal += static_cast<const char*>(argument);
}

ObjectMapEntry Row(const CLSID* classId, ClassObjectCreator creator, void (*startStop)(bool))
{
    return {classId, nullptr, creator, &InstanceCreatorOfA, nullptr, 0, nullptr, nullptr,
            startStop};
}

class ObjectMapLookup : public testing::Test {
protected:
    void SetUp() override
    {
        creations = 0;
        fakeClassObject.references = 0;
    }

    // An empty slot, a row without creator for class A, then A, B and C.
    ObjectMapEntry withoutCreator_ = Row(&kClassA, nullptr, nullptr);
    ObjectMapEntry rowA_ = Row(&kClassA, &CreateFakeClassObject, nullptr);
    ObjectMapEntry rowB_ = Row(&kClassB, &FailToCreate, nullptr);
    ObjectMapEntry rowC_ = Row(&kClassC, &SucceedWithNothing, nullptr);
    ObjectMapEntry* rows_[5] = {nullptr, &withoutCreator_, &rowA_, &rowB_, &rowC_};
};

TEST_F(ObjectMapLookup, FirstRequestCreatesAndCachesTheClassObject)
{
    ObjectMap map(rows_, 5);
    IUnknown* first = nullptr;
    ASSERT_EQ(S_OK, map.GetClassObject(kClassA, IID_IUnknown, reinterpret_cast<void**>(&first)));
    IUnknown* second = nullptr;
    ASSERT_EQ(S_OK, map.GetClassObject(kClassA, IID_IUnknown, reinterpret_cast<void**>(&second)));
    EXPECT_EQ(1, creations);
    EXPECT_EQ(&fakeClassObject, first);
    EXPECT_EQ(first, second);
    EXPECT_EQ(&fakeClassObject, rowA_.cachedClassObject);
    EXPECT_EQ(3, fakeClassObject.references);

    void* refused = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, map.GetClassObject(kClassA, IID_IClassFactory, &refused));
    EXPECT_EQ(nullptr, refused);
    EXPECT_EQ(&fakeClassObject, rowA_.cachedClassObject);
    first->Release();
    second->Release();

    // Termination drops the cached reference once, and only once.
    map.Term();
    EXPECT_EQ(0, fakeClassObject.references);
    EXPECT_EQ(nullptr, rowA_.cachedClassObject);
    map.Term();
    EXPECT_EQ(0, fakeClassObject.references);
    void* late = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_UNEXPECTED, map.GetClassObject(kClassA, IID_IUnknown, &late));
    EXPECT_EQ(E_UNEXPECTED, map.GetClassObject(kClassA, IID_IUnknown, nullptr));
}

TEST_F(ObjectMapLookup, FailedCreationIsNotCached)
{
    ObjectMap map(rows_, 5);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_OUTOFMEMORY, map.GetClassObject(kClassB, IID_IUnknown, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(E_OUTOFMEMORY, map.GetClassObject(kClassB, IID_IUnknown, &object));
    EXPECT_EQ(2, creations);
    EXPECT_EQ(nullptr, rowB_.cachedClassObject);
}

TEST_F(ObjectMapLookup, UnknownClassesAndEmptyAnswers)
{
    ObjectMap map(rows_, 5);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, map.GetClassObject(IID_IUnknown, IID_IUnknown, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(E_POINTER, map.GetClassObject(kClassA, IID_IUnknown, nullptr));
    EXPECT_EQ(0, creations);
    // A creator that succeeds without an object.
    object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, map.GetClassObject(kClassC, IID_IUnknown, &object));
    EXPECT_EQ(nullptr, object);
}

TEST(ServerModuleLifecycle, StartStopCallsAndCleanupsInOrder)
{
    ObjectMapEntry rowA = Row(&kClassA, nullptr, &StartStopA);
    ObjectMapEntry rowB = Row(&kClassB, nullptr, &StartStopB);
    ObjectMapEntry* rows[3] = {&rowA, nullptr, &rowB};
    ObjectMap map(rows, 3);
    journal.clear();

    ServerModule* module = new ServerModule(&map);
    EXPECT_EQ("start A;start B;", journal);
    char first[] = "cleanup 1;";
    char second[] = "cleanup 2;";
    EXPECT_EQ(S_OK, module->AddCleanup(&RecordCleanup, first));
    // The module lock is re-entrant: a holder may add clean-ups.
    {
        ScopedLock lock(module->ModuleLock());
        EXPECT_EQ(S_OK, module->AddCleanup(&RecordCleanup, second));
    }
    journal.clear();
    delete module;
    EXPECT_EQ("stop A;stop B;cleanup 2;cleanup 1;", journal);
}

TEST(ServerModuleLifecycle, TerminationRunsAtMostOnce)
{
    ObjectMap map(nullptr, 0);
    ServerModule* module = new ServerModule(&map);
    char cleanup[] = "cleanup;";
    ASSERT_EQ(S_OK, module->AddCleanup(&RecordCleanup, cleanup));
    journal.clear();
    module->Term();
    module->Term();
    EXPECT_EQ("cleanup;", journal);
    delete module;
    EXPECT_EQ("cleanup;", journal);
}

TEST(ServerModuleLifecycle, LockCountGoesBelowZero)
{
    ObjectMap map(nullptr, 0);
    ServerModule module(&map);
    EXPECT_EQ(1, module.LockModule());
    EXPECT_EQ(0, module.UnlockModule());
    EXPECT_EQ(-1, module.UnlockModule());
    EXPECT_EQ(-1, module.GetModuleLockCount());
}

TEST(ModuleRecords, TheDllsRecords)
{
    ObjectMap* map = GetObjectMap();
    ASSERT_EQ(1u, map->RowCount());
    const ObjectMapEntry* row = map->Row(0);
    ASSERT_NE(nullptr, row);
    EXPECT_TRUE(IsEqualCLSID(CLSID_OrvWorkstationInfo, *row->classId));
    EXPECT_EQ(0u, row->registerCookie);
    EXPECT_EQ(nullptr, row->getDescription());
    EXPECT_EQ(OrvWorkstationInfoCategories(), row->getCategories());
    EXPECT_EQ(ThisModuleHandle(), map->TypeLibraryModule());
    EXPECT_EQ(GetModuleHandleW(nullptr), GetModuleInstance()->Handle());
    EXPECT_FALSE(ModuleInitFailed);
}

TEST(ModuleRecords, CategoriesAreSafeForScriptingAndInitializing)
{
    const GUID safeForScripting = {
        0x7DD95801, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}};
    const GUID safeForInitializing = {
        0x7DD95802, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}};
    const CategoryMapEntry* categories = OrvWorkstationInfoCategories();
    EXPECT_EQ(kCategoryImplemented, categories[0].kind);
    EXPECT_TRUE(IsEqualGUID(safeForScripting, *categories[0].category));
    EXPECT_EQ(kCategoryImplemented, categories[1].kind);
    EXPECT_TRUE(IsEqualGUID(safeForInitializing, *categories[1].category));
    EXPECT_EQ(kCategoryEnd, categories[2].kind);
}

TEST(ModuleRecords, StandardReplacementDefinesTheAppId)
{
    Registrar registrar;
    EXPECT_EQ(S_OK, GetServerModule()->AddStandardReplacements(&registrar));
    EXPECT_EQ(1, registrar.Replacements().Count());
    const wchar_t* text = registrar.Replacements().FindReplacement("APPID");
    ASSERT_NE(nullptr, text);
    EXPECT_STREQ(L"{C7E3A915-4B2D-4E8F-A06C-9D1F3B5E2A48}", text);
}

TEST(SharedRoutines, ConversionUsesTheThreadCodePage)
{
    // Wine reports Windows 7: NT, major version 6.
    EXPECT_EQ(static_cast<UINT>(CP_THREAD_ACP), ConversionCodePage());
    EXPECT_EQ(static_cast<UINT>(CP_THREAD_ACP), ConversionCodePage());
}

TEST(SharedRoutines, ConversionsInBothDirections)
{
    wchar_t wide[8] = L"stale";
    EXPECT_EQ(wide, WideFromNarrow(wide, "Triveld", 8, ConversionCodePage()));
    EXPECT_STREQ(L"Triveld", wide);
    char narrow[8] = "stale";
    EXPECT_EQ(narrow, NarrowFromWide(narrow, L"Triveld", 8, ConversionCodePage()));
    EXPECT_STREQ("Triveld", narrow);

    // Too small for the terminator: nothing half-converted is left behind.
    EXPECT_EQ(nullptr, WideFromNarrow(wide, "Triveld", 7, ConversionCodePage()));
    EXPECT_STREQ(L"", wide);
    EXPECT_EQ(nullptr, NarrowFromWide(narrow, L"Triveld", 7, ConversionCodePage()));
    EXPECT_STREQ("", narrow);

    EXPECT_EQ(nullptr, WideFromNarrow(nullptr, "x", 8, CP_ACP));
    EXPECT_EQ(nullptr, WideFromNarrow(wide, nullptr, 8, CP_ACP));
    EXPECT_EQ(nullptr, NarrowFromWide(nullptr, L"x", 8, CP_ACP));
    EXPECT_EQ(nullptr, NarrowFromWide(narrow, nullptr, 8, CP_ACP));
    // No capacity: not even the terminator is written.
    narrow[0] = 'k';
    EXPECT_EQ(nullptr, NarrowFromWide(narrow, L"x", 0, CP_ACP));
    EXPECT_EQ('k', narrow[0]);
}

TEST(SharedRoutines, ScopedLockLeavesAtMostOnce)
{
    CRITICAL_SECTION section;
    ASSERT_EQ(S_OK, InitLock(&section));
    {
        ScopedLock deferred(&section, false);
        EXPECT_EQ(0, section.RecursionCount);
        deferred.Enter();
        EXPECT_EQ(1, section.RecursionCount);
        deferred.Leave();
        deferred.Leave();
        EXPECT_EQ(0, section.RecursionCount);
        ScopedLock outer(&section);
        EXPECT_EQ(1, section.RecursionCount);
        {
            ScopedLock inner(&section);
            EXPECT_EQ(2, section.RecursionCount);
        }
        EXPECT_EQ(1, section.RecursionCount);
    }
    EXPECT_EQ(0, section.RecursionCount);
    DeleteCriticalSection(&section);
}

} // namespace
