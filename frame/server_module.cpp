#include "frame/server_module.h"

#include <new>

#include "frame/critical_section.h"

bool ModuleInitFailed = false;

const wchar_t kAppIdText[] = L"{C7E3A915-4B2D-4E8F-A06C-9D1F3B5E2A48}";

namespace {
ServerModule* serverModule = nullptr;
}

ServerModule* GetServerModule()
{
    return serverModule;
}

ServerModule::ServerModule()
{
    initialised_ = 1;
    serverModule = this;
    if (FAILED(InitLock(&moduleLock_))) {
        ModuleInitFailed = true;
    }
}

ServerModule::~ServerModule()
{
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
    DeleteCriticalSection(&moduleLock_);
    initialised_ = 0;
}
