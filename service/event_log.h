#ifndef TRIVELD_SERVICE_EVENT_LOG_H
#define TRIVELD_SERVICE_EVENT_LOG_H

#include <windows.h>

enum EventSeverity : int {
    EventSeverityError = 1,
    EventSeverityWarning = 2,
    EventSeveritySuccess = 4,
    EventSeverityInformation = 8,
};

// The event source every entry of the system is written under.
extern const wchar_t kEventSourceName[];

// Longest composed text, terminator excluded.
constexpr size_t kMaxEventTextLength = 4095;

// Writes one Application-log entry: "Source: <source>  Message: <text>", then
// " Error: 0x..." and the system's message when `code` is not 0. Returns
// `code` when the entry was written, E_INVALIDARG for a null source or format
// (nothing written), otherwise the failing event-log call's error.
HRESULT EventLogReporter(int severity, HRESULT code, const wchar_t* source,
                         const wchar_t* format, ...);

#endif
