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

#endif
