#ifndef TRIVELD_FRAME_EXCEPTION_POOL_H
#define TRIVELD_FRAME_EXCEPTION_POOL_H

// The C++ runtime linked into the DLL allocates an emergency pool at load,
// for exceptions thrown when the heap is exhausted, and never frees it:
// without a release every FreeLibrary would leak it.

// Frees the pool when it is destroyed, if the DLL is being unloaded. Defined
// before the other module records, so that it is destroyed after them: the
// pool must outlive everything of this DLL that could still use the C++
// runtime during unload, and the records' teardown (releasing the cached
// class object and type information) is the last of that code to run.
class ExceptionPoolRelease {
public:
    ExceptionPoolRelease() = default;
    ~ExceptionPoolRelease();

    ExceptionPoolRelease(const ExceptionPoolRelease&) = delete;
    ExceptionPoolRelease& operator=(const ExceptionPoolRelease&) = delete;
};

// Called by DllMain at DLL_PROCESS_DETACH: true when FreeLibrary unloads the
// DLL, false when the process is ending and nothing needs to be freed.
void NoteDllUnloading(bool unloading);

#endif
