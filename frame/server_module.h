#ifndef TRIVELD_FRAME_SERVER_MODULE_H
#define TRIVELD_FRAME_SERVER_MODULE_H

#include <windows.h>

class ObjectMap;
class Registrar;

// One clean-up action run at module termination, newest first.
struct CleanupEntry {
    void (*function)(void* argument);
    void* argument;
    CleanupEntry* next;
};

// Set when a lock of the module records failed to initialise at load.
extern bool ModuleInitFailed;

// The module object: lock count, clean-up list and the module lock.
class ServerModule {
public:
    // Calls every row's moduleStartStop(true) of `objectMap` once ready.
    explicit ServerModule(ObjectMap* objectMap);
    // Calls every row's moduleStartStop(false), then terminates.
    virtual ~ServerModule();

    ServerModule(const ServerModule&) = delete;
    ServerModule& operator=(const ServerModule&) = delete;

    // Both return the new count.
    virtual LONG LockModule();
    virtual LONG UnlockModule();
    virtual LONG GetModuleLockCount();
    // Defines "APPID" for every registration script.
    virtual HRESULT AddStandardReplacements(Registrar* registrar);

    // E_OUTOFMEMORY when the entry cannot be allocated; the list is then
    // unchanged. Callers may already hold the module lock.
    HRESULT AddCleanup(void (*function)(void*), void* argument);
    CRITICAL_SECTION* ModuleLock() { return &moduleLock_; }

    // Runs the clean-up list and deletes the module lock; at most once.
    void Term();

private:
    ObjectMap* objectMap_;
    volatile DWORD initialised_ = 0;
    volatile LONG lockCount_ = 0;
    CleanupEntry* cleanupList_ = nullptr;
    bool lockReady_ = false;
    CRITICAL_SECTION moduleLock_;
};

// The DLL's one module object.
ServerModule* GetServerModule();

// The component's AppID in registry text form.
extern const wchar_t kAppIdText[];

#endif
