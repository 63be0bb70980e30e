// The composed text, type and fields of every event-log entry, read back
// through the recorder (Wine keeps no readable Application log).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service/event_log.h"
#include "service/platform_calls.h"
#include "tests/support/event_recorder.h"

namespace {

RecordedEvent OnlyEvent(const EventRecorder& recorder)
{
    const std::vector<RecordedEvent> events = recorder.Events();
    EXPECT_EQ(1u, events.size());
    return events.empty() ? RecordedEvent{} : events.front();
}

TEST(EventLog, WithoutCodeTheTextIsPrefixAndCallersText)
{
    EventRecorder recorder;
    // %s takes a wide string in this formatter.
    EXPECT_EQ(S_OK, EventLogReporter(EventSeverityInformation, S_OK, kEventSourceName,
                                     L"viewer %d at %s, index %u", -3, L"C:\\Velmar\\v.exe",
                                     4000000000u));
    const RecordedEvent event = OnlyEvent(recorder);
    EXPECT_EQ(Composed(L"viewer -3 at C:\\Velmar\\v.exe, index 4000000000"), event.text);
    EXPECT_EQ(L"Triveld", event.source);
    EXPECT_EQ(EVENTLOG_INFORMATION_TYPE, event.type);
    EXPECT_EQ(0, event.category);
    EXPECT_EQ(GetCurrentProcessId(), event.eventId);
    EXPECT_EQ(0, recorder.OpenSources());
}

TEST(EventLog, SourceNameGoesIntoPrefixAndEntry)
{
    EventRecorder recorder;
    EXPECT_EQ(S_OK, EventLogReporter(EventSeverityWarning, S_OK, L"Other", L"plain"));
    const RecordedEvent event = OnlyEvent(recorder);
    EXPECT_EQ(L"Source: Other  Message: plain", event.text);
    EXPECT_EQ(L"Other", event.source);
}

TEST(EventLog, CodeIsAppendedInHexWithTheSystemsMessage)
{
    EventRecorder recorder;
    const HRESULT code = static_cast<HRESULT>(0x8007000D);
    const std::wstring message = SystemMessage(code);
    ASSERT_FALSE(message.empty()) << "the system should know 0x8007000D";

    EXPECT_EQ(code, EventLogReporter(EventSeverityError, code, kEventSourceName, L"reading %s",
                                     L"Version"));
    const RecordedEvent event = OnlyEvent(recorder);
    EXPECT_EQ(Composed(L"reading Version Error: 0x8007000d ") + message, event.text);
    EXPECT_EQ(EVENTLOG_ERROR_TYPE, event.type);
}

TEST(EventLog, CodeUnknownToTheSystemEndsTheText)
{
    EventRecorder recorder;
    const HRESULT code = static_cast<HRESULT>(0x8004DEAD);
    ASSERT_TRUE(SystemMessage(code).empty());
    EXPECT_EQ(code, EventLogReporter(EventSeverityWarning, code, kEventSourceName, L"odd"));
    EXPECT_EQ(Composed(L"odd Error: 0x8004dead"), OnlyEvent(recorder).text);

    // A positive code is reported the same way.
    recorder.Clear();
    EXPECT_EQ(S_FALSE, EventLogReporter(EventSeverityWarning, S_FALSE, kEventSourceName, L"odd"));
    EXPECT_EQ(0u, OnlyEvent(recorder).text.find(Composed(L"odd Error: 0x1")));
}

TEST(EventLog, SeverityChoosesTheEventType)
{
    struct Case {
        int severity;
        WORD type;
    };
    const Case cases[] = {
        {1, EVENTLOG_ERROR_TYPE},       {2, EVENTLOG_WARNING_TYPE},
        {4, EVENTLOG_SUCCESS},          {8, EVENTLOG_INFORMATION_TYPE},
        {0, EVENTLOG_INFORMATION_TYPE}, {3, EVENTLOG_INFORMATION_TYPE},
        {-1, EVENTLOG_INFORMATION_TYPE},
    };
    EventRecorder recorder;
    for (const Case& test : cases) {
        recorder.Clear();
        EventLogReporter(test.severity, S_OK, kEventSourceName, L"severity %d", test.severity);
        EXPECT_EQ(test.type, OnlyEvent(recorder).type) << "severity " << test.severity;
    }
}

TEST(EventLog, OverlongTextIsCutAtTheLimit)
{
    EventRecorder recorder;
    const std::wstring prefix = Composed(L"");
    const std::wstring longText(5000, L'x');
    EventLogReporter(EventSeverityInformation, S_OK, kEventSourceName, L"%s", longText.c_str());
    std::wstring text = OnlyEvent(recorder).text;
    EXPECT_EQ(4095u, text.size());
    EXPECT_EQ(prefix + std::wstring(4095 - prefix.size(), L'x'), text);

    // A text that fills the limit exactly is kept whole.
    recorder.Clear();
    const std::wstring exact(4095 - prefix.size(), L'y');
    EventLogReporter(EventSeverityInformation, S_OK, kEventSourceName, L"%s", exact.c_str());
    EXPECT_EQ(prefix + exact, OnlyEvent(recorder).text);

    // The error part is cut where the room ends.
    recorder.Clear();
    const std::wstring nearly(4095 - prefix.size() - 5, L'z');
    EventLogReporter(EventSeverityError, E_FAIL, kEventSourceName, L"%s", nearly.c_str());
    EXPECT_EQ(prefix + nearly + L" Erro", OnlyEvent(recorder).text);

    recorder.Clear();
    EventLogReporter(EventSeverityError, E_FAIL, kEventSourceName, L"%s", longText.c_str());
    text = OnlyEvent(recorder).text;
    EXPECT_EQ(4095u, text.size());
    EXPECT_EQ(std::wstring::npos, text.find(L"Error"));
}

TEST(EventLog, MissingSourceOrFormatWritesNothing)
{
    EventRecorder recorder;
    EXPECT_EQ(E_INVALIDARG, EventLogReporter(EventSeverityError, E_FAIL, nullptr, L"text"));
    EXPECT_EQ(E_INVALIDARG, EventLogReporter(EventSeverityError, E_FAIL, kEventSourceName, nullptr));
    EXPECT_TRUE(recorder.Events().empty());
    EXPECT_EQ(0, recorder.OpenSources());
}

TEST(EventLog, FailingEventLogCallsGiveTheirErrorAndCloseTheSource)
{
    EventRecorder recorder;
    recorder.FailNextRegister(RPC_S_SERVER_UNAVAILABLE);
    EXPECT_EQ(static_cast<HRESULT>(0x800706BA),
              EventLogReporter(EventSeverityError, E_FAIL, kEventSourceName, L"text"));
    EXPECT_TRUE(recorder.Events().empty());
    EXPECT_EQ(0, recorder.OpenSources());

    recorder.FailNextReport(ERROR_ACCESS_DENIED);
    EXPECT_EQ(static_cast<HRESULT>(0x80070005),
              EventLogReporter(EventSeverityInformation, S_OK, kEventSourceName, L"text"));
    EXPECT_TRUE(recorder.Events().empty());
    EXPECT_EQ(0, recorder.OpenSources());
}

HANDLE WINAPI RegisterFailingSilently(LPCWSTR, LPCWSTR)
{
    SetLastError(ERROR_SUCCESS);
    return nullptr;
}

TEST(EventLog, FailureWithoutRecordedErrorIsStillAFailure)
{
    EventRecorder recorder;
    ActivePlatformCalls().registerEventSource = &RegisterFailingSilently;
    EXPECT_EQ(E_FAIL, EventLogReporter(EventSeverityInformation, S_OK, kEventSourceName, L"x"));
}

TEST(EventLog, RealEventLogAcceptsTheEntry)
{
    const PlatformCalls real = RealPlatformCalls();
    ASSERT_EQ(real.registerEventSource, ActivePlatformCalls().registerEventSource);
    ASSERT_EQ(real.reportEvent, ActivePlatformCalls().reportEvent);
    ASSERT_EQ(real.deregisterEventSource, ActivePlatformCalls().deregisterEventSource);
    const HRESULT code = static_cast<HRESULT>(0x80070002);
    EXPECT_EQ(code, EventLogReporter(EventSeverityInformation, code, kEventSourceName,
                                     L"event log test entry"));
}

} // namespace
