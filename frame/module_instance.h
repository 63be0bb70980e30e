#ifndef TRIVELD_FRAME_MODULE_INSTANCE_H
#define TRIVELD_FRAME_MODULE_INSTANCE_H

#include <windows.h>

// The handle of the image this code is linked into, valid from static
// construction on (DllMain has not run yet then).
HINSTANCE ThisModuleHandle();

// Holds the DLL's own module handle; the registration code asks it for the
// module's file name.
class ModuleInstance {
public:
    ModuleInstance() : handle_(ThisModuleHandle()) {}

    HINSTANCE Handle() const { return handle_; }

private:
    HINSTANCE handle_;
};

// The DLL's one module instance record.
ModuleInstance* GetModuleInstance();

#endif
