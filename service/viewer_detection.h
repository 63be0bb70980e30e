#ifndef TRIVELD_SERVICE_VIEWER_DETECTION_H
#define TRIVELD_SERVICE_VIEWER_DETECTION_H

#include <windows.h>

#include <oleauto.h>

// The viewer's two out-of-process server classes, always examined in this
// order. The first decides whether a viewer is installed and names the
// executable reported; the second, serving the same executable, marks the
// Lite edition.
extern const char kViewerClassId[];
extern const char kViewerLiteClassId[];

// Viewer types as get_ViewerType answers them.
constexpr LONG kViewerNone = 0;
constexpr LONG kViewerDistributed = 1;
constexpr LONG kViewerDistributedLite = 2;

// The two calls of the version lookup that cannot be made to fail on demand
// (reading a block whose size was just reported, allocating the text),
// reached through one table so that tests can stand in for them. The product
// never changes it.
struct ViewerVersionCalls {
    BOOL(WINAPI* getFileVersionInfoW)(LPCWSTR file, DWORD handle, DWORD size, LPVOID block);
    BSTR(WINAPI* sysAllocString)(const OLECHAR* text);
};

ViewerVersionCalls& ActiveViewerVersionCalls();

// The table as the product uses it: the real system calls.
ViewerVersionCalls RealViewerVersionCalls();

#endif
