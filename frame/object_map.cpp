#include "frame/object_map.h"

#include "frame/critical_section.h"
#include "frame/module_instance.h"
#include "frame/server_module.h"

ObjectMap::ObjectMap(ObjectMapEntry* const* rows, std::size_t rowCount)
    : rows_(rows), rowCount_(rowCount)
{
    initialised_ = 1;
    typeLibraryModule_ = ThisModuleHandle();
    if (FAILED(InitLock(&lock_))) {
        ModuleInitFailed = true;
        return;
    }
    lockReady_ = true;
}

ObjectMap::~ObjectMap()
{
    Term();
}

ObjectMapEntry* ObjectMap::FindRow(REFCLSID classId) const
{
    for (std::size_t index = 0; index < rowCount_; ++index) {
        ObjectMapEntry* row = rows_[index];
        if (row == nullptr || row->createClassObject == nullptr) {
            continue;
        }
        if (IsEqualCLSID(*row->classId, classId)) {
            return row;
        }
    }
    return nullptr;
}

// Second look under the lock, so that exactly one class object is cached.
HRESULT ObjectMap::CreateClassObject(ObjectMapEntry* row)
{
    ScopedLock lock(&lock_);
    if (row->cachedClassObject != nullptr) {
        return S_OK;
    }
    IUnknown* created = nullptr;
    const HRESULT result =
        row->createClassObject(row->createInstance, IID_IUnknown, reinterpret_cast<void**>(&created));
    // Published only once complete: the lock-free readers see it or nothing.
    InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&row->cachedClassObject), created);
    return result;
}

HRESULT ObjectMap::GetClassObject(REFCLSID classId, REFIID iid, void** object)
{
    if (initialised_ == 0) {
        return E_UNEXPECTED;
    }
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    ObjectMapEntry* row = FindRow(classId);
    if (row == nullptr) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    HRESULT result = S_OK;
    if (row->cachedClassObject == nullptr) {
        result = CreateClassObject(row);
    }
    IUnknown* cached = row->cachedClassObject;
    if (cached != nullptr) {
        result = cached->QueryInterface(iid, object);
    }
    if (*object == nullptr && result == S_OK) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return result;
}

void ObjectMap::StartStopAll(bool starting)
{
    for (std::size_t index = 0; index < rowCount_; ++index) {
        ObjectMapEntry* row = rows_[index];
        if (row != nullptr && row->moduleStartStop != nullptr) {
            row->moduleStartStop(starting);
        }
    }
}

void ObjectMap::Term()
{
    if (initialised_ == 0) {
        return;
    }
    for (std::size_t index = 0; index < rowCount_; ++index) {
        ObjectMapEntry* row = rows_[index];
        if (row == nullptr || row->cachedClassObject == nullptr) {
            continue;
        }
        IUnknown* cached = row->cachedClassObject;
        row->cachedClassObject = nullptr;
        cached->Release();
    }
    if (lockReady_) {
        DeleteCriticalSection(&lock_);
        lockReady_ = false;
    }
    initialised_ = 0;
}
