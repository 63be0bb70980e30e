#ifndef TRIVELD_FRAME_CLASS_FACTORY_H
#define TRIVELD_FRAME_CLASS_FACTORY_H

#include <windows.h>

#include "frame/object_map.h"

// The class object of a creatable class. The object map's cached reference
// is the first; while clients hold more, the factory holds one module lock.
class ClassFactory : public IClassFactory {
public:
    // Count 0; throws CHResultException when the lock cannot be initialised.
    ClassFactory();

    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

    virtual ~ClassFactory();

    void SetCreator(InstanceCreator createInstance) { createInstance_ = createInstance; }

private:
    volatile LONG count_ = 0;
    InstanceCreator createInstance_ = nullptr;
    CRITICAL_SECTION lock_;
};

// Makes a ClassFactory bound to `createInstance` and answers `iid` of it.
HRESULT ClassFactoryCreator(InstanceCreator createInstance, REFIID iid, void** object);

#endif
