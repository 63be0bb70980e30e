// The C++ runtime's default terminate handler prints the escaping exception's
// demangled type name, which links the whole demangler and the runtime's own
// printf into the DLL (about 80 KB). No exception leaves an entry point, and
// a DLL has no console to print to, so this one only ends the process the way
// the default one does after printing. Linked into the DLL only; the test
// programs keep the default handler for its message.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    std::abort();
}
} // namespace __gnu_cxx
