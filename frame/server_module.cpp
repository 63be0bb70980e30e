#include "frame/server_module.h"

#include <new>

#include "frame/critical_section.h"
#include "frame/object_map.h"
#include "registration/registrar.h"

bool ModuleInitFailed = false;

const wchar_t kAppIdText[] = L"{C7E3A915-4B2D-4E8F-A06C-9D1F3B5E2A48}";

ServerModule::ServerModule(ObjectMap* objectMap) : objectMap_(objectMap)
{
    initialised_ = 1;
    if (FAILED(InitLock(&moduleLock_))) {
        ModuleInitFailed = true;
    } else {
        lockReady_ = true;
    }
    if (objectMap_ != nullptr) {
        objectMap_->StartStopAll(true);
    }
}

ServerModule::~ServerModule()
{
    if (objectMap_ != nullptr) {
        objectMap_->StartStopAll(false);
    }
    Term();
}

LONG ServerModule::LockModule()
{
    return InterlockedIncrement(&lockCount_);
}

LONG ServerModule::UnlockModule()
{
    return InterlockedDecrement(&lockCount_);
}

LONG ServerModule::GetModuleLockCount()
{
    return lockCount_;
}

HRESULT ServerModule::AddStandardReplacements(Registrar* registrar)
{
    return registrar->DefineReplacement(L"APPID", kAppIdText);
}

HRESULT ServerModule::AddCleanup(void (*function)(void*), void* argument)
{
    CleanupEntry* entry = new (std::nothrow) CleanupEntry{function, argument, nullptr};
    if (entry == nullptr) {
        return E_OUTOFMEMORY;
    }
    ScopedLock lock(&moduleLock_);
    entry->next = cleanupList_;
    cleanupList_ = entry;
    return S_OK;
}

void ServerModule::Term()
{
    if (initialised_ == 0) {
        return;
    }
    while (cleanupList_ != nullptr) {
        CleanupEntry* entry = cleanupList_;
        cleanupList_ = entry->next;
        entry->function(entry->argument);
        delete entry;
    }
    if (lockReady_) {
        DeleteCriticalSection(&moduleLock_);
        lockReady_ = false;
    }
    initialised_ = 0;
}
