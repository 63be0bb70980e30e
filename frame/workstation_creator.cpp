#include "frame/workstation_creator.h"

#include <new>

#include "service/workstation_info.h"

HRESULT CreateWorkstationInfo(IUnknown* outer, REFIID iid, void** object)
{
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    CWorkstationInfo* created = nullptr;
    try {
        created = new (std::nothrow) CWorkstationInfo();
    } catch (...) {
        created = nullptr;
    }
    if (created == nullptr) {
        return E_OUTOFMEMORY;
    }
    // A reference of our own across final construction and the first
    // QueryInterface: dropping it destroys the object when either failed,
    // which also gives back its module lock.
    created->AddRef();
    HRESULT result = created->FinalConstruct();
    if (SUCCEEDED(result)) {
        result = created->QueryInterface(iid, object);
    }
    created->Release();
    return result;
}
