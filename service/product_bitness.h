#ifndef TRIVELD_SERVICE_PRODUCT_BITNESS_H
#define TRIVELD_SERVICE_PRODUCT_BITNESS_H

#include <windows.h>

// Everything the 32-bit and the 64-bit Triveld.dll do differently, in one
// place. Both answer the same questions from the same data:
//
// - The viewer, its installer and the 32-bit product keep their data in the
//   32-bit registry view: the settings key, the viewer's class registrations,
//   the LastInstallStatus keys and the .NET setup keys as a 32-bit process
//   sees them. The 32-bit DLL passes no view flag, since its process sees that
//   view already (and 32-bit Windows has no other). The 64-bit DLL asks for it
//   on every open and create of that data, children included: once a view flag
//   has been used, Windows wants it on every later operation on child keys.
// - Each DLL registers itself in its own process's view; on 64-bit Windows the
//   other one may be registered in the other view beside it.
// - The 64-bit question: a 64-bit process runs only on 64-bit Windows, while a
//   32-bit one is on 64-bit Windows exactly when it runs under WOW64.
#ifdef _WIN64
constexpr REGSAM kViewerDataView = KEY_WOW64_32KEY;
constexpr REGSAM kOtherProductView = KEY_WOW64_32KEY;
constexpr bool kProcessIs64Bit = true;
#else
constexpr REGSAM kViewerDataView = 0;
constexpr REGSAM kOtherProductView = KEY_WOW64_64KEY;
constexpr bool kProcessIs64Bit = false;
#endif

// The access mask for an open or create of the viewer's data.
constexpr REGSAM ViewerDataAccess(REGSAM access)
{
    return access | kViewerDataView;
}

// True on 64-bit Windows: always for the 64-bit DLL, under WOW64 for the
// 32-bit one (asked afresh on every call).
bool WindowsIs64Bit();

// True where the other product's registration view exists: on 64-bit Windows.
inline bool OtherProductViewExists()
{
    return WindowsIs64Bit();
}

#endif
