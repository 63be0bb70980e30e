// The class factory and the object lifetime with exact module lock counts,
// on the copies of the frame linked into this program.
#include <windows.h>

#include <gtest/gtest.h>

#include "frame/class_factory.h"
#include "frame/server_module.h"
#include "frame/workstation_creator.h"
#include "tests/support/com_ptr.h"
#include "triveld.h"

namespace {

LONG LockCount()
{
    return GetServerModule()->GetModuleLockCount();
}

IClassFactory* Factory()
{
    IClassFactory* factory = nullptr;
    EXPECT_EQ(S_OK, DllGetClassObject(CLSID_OrvWorkstationInfo, IID_IClassFactory,
                                      reinterpret_cast<void**>(&factory)));
    return factory;
}

// Stands in for an outer object; never called.
class OuterUnknown : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override
    {
        ADD_FAILURE() << "the outer object was called";
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ADD_FAILURE(), 2; }
    ULONG STDMETHODCALLTYPE Release() override { return ADD_FAILURE(), 1; }
};

TEST(ClassFactory, ClassObjectLocksTheModuleOnceWhileClientsHoldIt)
{
    const LONG before = LockCount();
    IClassFactory* first = Factory();
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(before + 1, LockCount());
    IClassFactory* second = Factory();
    EXPECT_EQ(first, second);
    EXPECT_EQ(before + 1, LockCount());
    // The object map holds the first reference, the two clients the others.
    EXPECT_EQ(4u, first->AddRef());
    EXPECT_EQ(3u, first->Release());
    EXPECT_EQ(2u, second->Release());
    EXPECT_EQ(before + 1, LockCount());
    EXPECT_EQ(1u, first->Release());
    EXPECT_EQ(before, LockCount());
}

// A BOOL is true whenever it is non-zero, not only when it is 1.
TEST(ClassFactory, LockServerLocksForEveryNonZeroFlag)
{
    ComPtr<IClassFactory> factory(Factory());
    ASSERT_NE(nullptr, factory.Get());
    const LONG before = LockCount();
    for (BOOL flag : {2, -1, 0x100}) {
        EXPECT_EQ(S_OK, factory->LockServer(flag));
        EXPECT_EQ(before + 1, LockCount()) << flag;
        EXPECT_EQ(S_OK, factory->LockServer(FALSE));
        EXPECT_EQ(before, LockCount()) << flag;
    }
}

TEST(ClassFactory, AnswersIUnknownAndIClassFactoryOnly)
{
    ComPtr<IClassFactory> factory(Factory());
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(S_OK, factory->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(unknown.Out())));
    EXPECT_EQ(static_cast<void*>(factory.Get()), static_cast<void*>(unknown.Get()));
    for (const IID* iid : {&IID_IDispatch, &IID_IOrvWorkstationInfo, &IID_IClassFactory2}) {
        void* other = reinterpret_cast<void*>(1);
        EXPECT_EQ(E_NOINTERFACE, factory->QueryInterface(*iid, &other));
        EXPECT_EQ(nullptr, other);
    }
    EXPECT_EQ(E_POINTER, factory->QueryInterface(IID_IUnknown, nullptr));
}

TEST(ClassFactory, AggregationIsRefusedForEveryInterface)
{
    ComPtr<IClassFactory> factory(Factory());
    const LONG before = LockCount();
    OuterUnknown outer;
    for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, &IID_IOrvWorkstationInfo,
                           &IID_IClassFactory}) {
        void* object = reinterpret_cast<void*>(1);
        EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(&outer, *iid, &object));
        EXPECT_EQ(nullptr, object);
        // The creation function refuses it on its own as well.
        object = reinterpret_cast<void*>(1);
        EXPECT_EQ(CLASS_E_NOAGGREGATION, CreateWorkstationInfo(&outer, *iid, &object));
        EXPECT_EQ(nullptr, object);
    }
    EXPECT_EQ(E_POINTER, CreateWorkstationInfo(&outer, IID_IUnknown, nullptr));
    EXPECT_EQ(before, LockCount());
}

TEST(ClassFactory, MissingOutPointer)
{
    ComPtr<IClassFactory> factory(Factory());
    const LONG before = LockCount();
    EXPECT_EQ(E_POINTER, factory->CreateInstance(nullptr, IID_IUnknown, nullptr));
    EXPECT_EQ(E_POINTER, CreateWorkstationInfo(nullptr, IID_IUnknown, nullptr));
    EXPECT_EQ(E_POINTER, ClassFactoryCreator(&CreateWorkstationInfo, IID_IUnknown, nullptr));
    EXPECT_EQ(before, LockCount());
}

TEST(ClassFactory, UnansweredInterfaceDestroysTheNewObject)
{
    ComPtr<IClassFactory> factory(Factory());
    const LONG before = LockCount();
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IClassFactory, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(before, LockCount());

    // The same for a new class object (the heap check sees one left behind).
    object = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, ClassFactoryCreator(&CreateWorkstationInfo, IID_IDispatch, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(before, LockCount());
}

TEST(ClassFactory, OneObjectAnswersEveryInterfaceWithOnePointer)
{
    ComPtr<IClassFactory> factory(Factory());
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IDispatch,
                                            reinterpret_cast<void**>(dispatch.Out())));
    ComPtr<IUnknown> unknown;
    ComPtr<IOrvWorkstationInfo> info;
    ASSERT_EQ(S_OK, dispatch->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(unknown.Out())));
    ASSERT_EQ(S_OK, unknown->QueryInterface(IID_IOrvWorkstationInfo,
                                            reinterpret_cast<void**>(info.Out())));
    EXPECT_EQ(static_cast<void*>(dispatch.Get()), static_cast<void*>(unknown.Get()));
    EXPECT_EQ(static_cast<void*>(dispatch.Get()), static_cast<void*>(info.Get()));
}

TEST(ClassFactory, ObjectCountsAndModuleLock)
{
    const LONG before = LockCount();
    IClassFactory* factory = Factory();
    ASSERT_NE(nullptr, factory);
    IOrvWorkstationInfo* object = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IOrvWorkstationInfo,
                                            reinterpret_cast<void**>(&object)));
    factory->Release();
    // The object alone now holds the module.
    EXPECT_EQ(before + 1, LockCount());
    EXPECT_EQ(2u, object->AddRef());
    EXPECT_EQ(3u, object->AddRef());
    EXPECT_EQ(2u, object->Release());
    EXPECT_EQ(1u, object->Release());
    EXPECT_EQ(before + 1, LockCount());
    EXPECT_EQ(0u, object->Release());
    EXPECT_EQ(before, LockCount());
}

} // namespace
