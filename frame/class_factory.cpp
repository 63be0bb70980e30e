#include "frame/class_factory.h"

#include <new>

#include "frame/critical_section.h"
#include "frame/interface_table.h"
#include "frame/server_module.h"

namespace {

const InterfaceTableRow kClassFactoryInterfaces[] = {
    {&IID_IClassFactory, 0, InterfaceKind::Offset},
    {nullptr, 0, InterfaceKind::End},
};

} // namespace

ClassFactory::ClassFactory()
{
    InitLockOrThrow(&lock_);
}

ClassFactory::~ClassFactory()
{
    count_ = kDestructionCount;
    DeleteCriticalSection(&lock_);
}

HRESULT ClassFactory::QueryInterface(REFIID iid, void** object)
{
    return FindInterface(this, kClassFactoryInterfaces, iid, object);
}

// The module lock follows the clients' references: taken when the first
// client reference joins the object map's, given back when the last leaves.
ULONG ClassFactory::AddRef()
{
    ScopedLock lock(&lock_);
    const LONG count = InterlockedIncrement(&count_);
    if (count == 2) {
        GetServerModule()->LockModule();
    }
    return static_cast<ULONG>(count);
}

ULONG ClassFactory::Release()
{
    ScopedLock lock(&lock_);
    const LONG count = InterlockedDecrement(&count_);
    lock.Leave();
    if (count == 0) {
        delete this;
    } else if (count == 1) {
        GetServerModule()->UnlockModule();
    }
    return static_cast<ULONG>(count);
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object)
{
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (outer != nullptr && !IsEqualIID(iid, IID_IUnknown)) {
        return CLASS_E_NOAGGREGATION;
    }
    return createInstance_(outer, iid, object);
}

HRESULT ClassFactory::LockServer(BOOL lock)
{
    if (lock) {
        GetServerModule()->LockModule();
    } else {
        GetServerModule()->UnlockModule();
    }
    return S_OK;
}

HRESULT ClassFactoryCreator(InstanceCreator createInstance, REFIID iid, void** object)
{
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    ClassFactory* factory = nullptr;
    try {
        factory = new (std::nothrow) ClassFactory();
    } catch (...) {
        factory = nullptr;
    }
    if (factory == nullptr) {
        return E_OUTOFMEMORY;
    }
    factory->SetCreator(createInstance);
    const HRESULT result = factory->QueryInterface(iid, object);
    if (result != S_OK) {
        delete factory;
    }
    return result;
}
