#include "frame/exception_pool.h"

namespace __gnu_cxx {
// Frees the emergency pool (GCC's runtime).
void __freeres() noexcept;
}

namespace {

// Stays false in a program that links the frame: the pool then lives as long
// as the process, as the runtime intends.
bool dllUnloading = false;

} // namespace

ExceptionPoolRelease::~ExceptionPoolRelease()
{
    if (dllUnloading) {
        __gnu_cxx::__freeres();
    }
}

void NoteDllUnloading(bool unloading)
{
    dllUnloading = unloading;
}
