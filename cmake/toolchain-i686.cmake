# The 32-bit product, for 32-bit hosts: 32-bit Windows, and 64-bit Windows under
# WOW64. Posix-thread mingw-w64 compilers (GoogleTest needs them); the product
# itself links the win32 runtime (below).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TRIVELD_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER /usr/bin/i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER /usr/bin/i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER /usr/bin/i686-w64-mingw32-windres)
set(TRIVELD_WIDL /usr/bin/i686-w64-mingw32-widl)
set(TRIVELD_WIDL_SYSKIND --win32)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The product DLL links the win32-thread-model runtime. With the posix one, the
# DWARF unwinder registers the DLL's frames under winpthread mutexes that are
# allocated on first use and never freed: every load and unload of the DLL
# leaked four heap blocks. The component itself uses no C++ threads.
set(TRIVELD_PRODUCT_LINKER /usr/bin/i686-w64-mingw32-g++-win32)
# Where the DLL and the report program are mapped unless taken (fixed: the driver's automatic base
# derives from the output path). NO_SEH: nothing in the image registers a
# structured exception handler (no write to fs:[0]; C++ exceptions unwind
# through DWARF tables), which is what lets scanners' SafeSEH rule pass without
# a SafeSEH table.
set(TRIVELD_DLL_IMAGE_BASE 0x10000000)
set(TRIVELD_PROGRAM_IMAGE_BASE 0x400000)
set(TRIVELD_ARCH_LINK_OPTIONS -Wl,--enable-stdcall-fixup -Wl,--no-seh)
