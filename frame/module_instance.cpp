#include "frame/module_instance.h"

// The linker places this symbol at the start of the loaded image.
extern "C" IMAGE_DOS_HEADER __ImageBase;

HINSTANCE ThisModuleHandle()
{
    return reinterpret_cast<HINSTANCE>(&__ImageBase);
}
