#!/bin/bash
# Links the 32-bit product DLL with the given driver instead of the compiler's
# own: used to take the win32-thread-model runtime (see toolchain-i686.cmake).
# Usage, as a link launcher: product_linker.sh DRIVER COMPILER ARGS...
driver=$1
shift 2
exec "$driver" "$@"
