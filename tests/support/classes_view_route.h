#ifndef TRIVELD_TESTS_CLASSES_VIEW_ROUTE_H
#define TRIVELD_TESTS_CLASSES_VIEW_ROUTE_H

#include <windows.h>

// Wine 8 ignores an override of HKEY_CLASSES_ROOT (RegOverridePredefKey) for
// an open that names a registry view, KEY_WOW64_32KEY or KEY_WOW64_64KEY: it
// opens the real classes root then. (HKEY_LOCAL_MACHINE's override holds.)
// The 64-bit DLL names the 32-bit view on every open of the viewer's class
// registrations, and either DLL names the other view when it unregisters. So
// while a scratch key stands in for HKCR, the opens of the routed modules that
// name HKEY_CLASSES_ROOT and a view go to the stand-in, view flag kept.

// Routes `module`'s RegOpenKeyExA and RegOpenKeyExW imports; idempotent.
void RouteViewedClassesOpens(HMODULE module);

// The key that stands in for HKEY_CLASSES_ROOT; null for none.
void SetClassesStandIn(HKEY standIn);

#endif
