// The process-wide records of the DLL, constructed in the order of their
// definitions here at load and destroyed in reverse at unload.
#include "frame/server_module.h"

namespace {
ServerModule theServerModule;
}
