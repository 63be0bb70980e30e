#ifndef TRIVELD_REGISTRATION_MODULE_PATH_H
#define TRIVELD_REGISTRATION_MODULE_PATH_H

#include <windows.h>

// The full narrow path of `module` in a MAX_PATH field. A path that does not
// fit (the system cuts it at the field's end) is ERROR_INSUFFICIENT_BUFFER,
// never a shortened path that names some other file.
HRESULT ModuleFileName(HMODULE module, char (&path)[MAX_PATH]);

#endif
