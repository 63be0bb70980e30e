#ifndef TRIVELD_TESTS_EVENT_RECORDER_H
#define TRIVELD_TESTS_EVENT_RECORDER_H

#include <windows.h>

#include <string>
#include <vector>

#include "service/event_log.h"
#include "service/platform_calls.h"

struct RecordedEvent {
    WORD type;
    WORD category;
    DWORD eventId;
    std::wstring source;
    std::wstring text;
};

// Stands in for the event log while it lives (Wine stores no entries) and
// records every entry written. Entries from all threads are kept.
class EventRecorder {
public:
    EventRecorder();
    ~EventRecorder();

    EventRecorder(const EventRecorder&) = delete;
    EventRecorder& operator=(const EventRecorder&) = delete;

    std::vector<RecordedEvent> Events() const;
    void Clear();

    // Make the next open or write fail with the given Win32 error.
    void FailNextRegister(DWORD error);
    void FailNextReport(DWORD error);
    int OpenSources() const;

private:
    PlatformCalls saved_;
};

// "Source: Triveld  Message: " followed by `text`.
std::wstring Composed(const std::wstring& text);
// The system's text for `code` as the reporter asks for it; empty when none.
std::wstring SystemMessage(HRESULT code);
// What the reporter appends for a non-zero `code`: " Error: 0x..." and, when
// the system has a text for the code, a blank and that text.
std::wstring ErrorSuffix(HRESULT code);

#endif
