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

// The work of the three viewer members, each with the member's event-log
// entries. The out-values hold their defined empty value on entry (none, null,
// -1) and keep it on failure.

// get_ViewerType: the type derived from the two class registrations.
HRESULT AnswerViewerType(LONG* plViewerType);
// get_ViewerVersion: the file version of the first class's executable.
HRESULT AnswerViewerVersion(BSTR* pbsVersion);
// GetLastClientInstallStatus for a viewer type above 0: the "LastInstallStatus"
// that the installer of that edition left.
HRESULT AnswerLastClientInstallStatus(LONG ViewerType, LONG* opnInstallStatus);

#endif
