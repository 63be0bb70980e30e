#ifndef TRIVELD_FRAME_SERVER_MODULE_H
#define TRIVELD_FRAME_SERVER_MODULE_H

#include <windows.h>

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
    ServerModule();
    virtual ~ServerModule();

    ServerModule(const ServerModule&) = delete;
    ServerModule& operator=(const ServerModule&) = delete;

    virtual LONG LockModule();
    virtual LONG UnlockModule();
    virtual LONG GetModuleLockCount();
    // Defines "APPID" for every registration script.
    virtual HRESULT AddStandardReplacements(Registrar* registrar);

    HRESULT AddCleanup(void (*function)(void*), void* argument);
    CRITICAL_SECTION* ModuleLock() { return &moduleLock_; }

    // Runs the clean-up list and deletes the module lock; at most once.
    void Term();

private:
    volatile DWORD initialised_ = 0;
    volatile LONG lockCount_ = 0;
    CleanupEntry* cleanupList_ = nullptr;
    CRITICAL_SECTION moduleLock_;
};

// The process-wide module object, set when it is constructed.
ServerModule* GetServerModule();

// The component's AppID in registry text form.
extern const wchar_t kAppIdText[];

#endif
