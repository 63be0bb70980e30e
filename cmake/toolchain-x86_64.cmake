# The 64-bit product, for 64-bit hosts on 64-bit Windows: the same sources,
# posix-thread mingw-w64 compilers (GoogleTest needs them); the product itself
# links the win32 runtime (below).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TRIVELD_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER /usr/bin/x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER /usr/bin/x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER /usr/bin/x86_64-w64-mingw32-windres)
set(TRIVELD_WIDL /usr/bin/x86_64-w64-mingw32-widl)
set(TRIVELD_WIDL_SYSKIND --win64)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine_run.sh)
# As for the 32-bit product: the win32-thread-model runtime, whose unwinder
# takes no winpthread mutexes, and 28 KB less.
set(TRIVELD_PRODUCT_LINKER /usr/bin/x86_64-w64-mingw32-g++-win32)
# Fixed (the DLL's and the report program's), above 4 GB, as high-entropy ASLR expects of a 64-bit image. Its C++
# exceptions unwind through SEH tables of its own (.pdata/.xdata): no NO_SEH.
set(TRIVELD_DLL_IMAGE_BASE 0x180000000)
set(TRIVELD_PROGRAM_IMAGE_BASE 0x140000000)
set(TRIVELD_ARCH_LINK_OPTIONS)
# The test programs that link the component's code take it compiled once more
# with undefined-behaviour traps and the library's assertions; the programs
# that load the DLL load the product.
set(TRIVELD_CHECKED_TESTS ON)
