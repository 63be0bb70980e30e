#include "tests/support/event_recorder.h"

#include <mutex>

namespace {

std::mutex guard;
std::vector<RecordedEvent> events;
std::vector<std::wstring> openSources;
DWORD failRegister = 0;
DWORD failReport = 0;
int openCount = 0;

HANDLE WINAPI RecordRegister(LPCWSTR server, LPCWSTR source)
{
    std::lock_guard<std::mutex> lock(guard);
    if (server != nullptr || source == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (failRegister != 0) {
        SetLastError(failRegister);
        failRegister = 0;
        return nullptr;
    }
    openSources.push_back(source);
    ++openCount;
    return reinterpret_cast<HANDLE>(openSources.size());
}

BOOL WINAPI RecordReport(HANDLE log, WORD type, WORD category, DWORD eventId, PSID, WORD count,
                         DWORD, LPCWSTR* strings, LPVOID)
{
    std::lock_guard<std::mutex> lock(guard);
    if (failReport != 0) {
        SetLastError(failReport);
        failReport = 0;
        return FALSE;
    }
    const size_t index = reinterpret_cast<size_t>(log) - 1;
    RecordedEvent event{type, category, eventId, openSources.at(index),
                        count == 1 ? strings[0] : L"<wrong string count>"};
    events.push_back(event);
    return TRUE;
}

BOOL WINAPI RecordDeregister(HANDLE)
{
    std::lock_guard<std::mutex> lock(guard);
    --openCount;
    return TRUE;
}

} // namespace

EventRecorder::EventRecorder() : saved_(ActivePlatformCalls())
{
    Clear();
    PlatformCalls& calls = ActivePlatformCalls();
    calls.registerEventSource = &RecordRegister;
    calls.reportEvent = &RecordReport;
    calls.deregisterEventSource = &RecordDeregister;
}

EventRecorder::~EventRecorder()
{
    ActivePlatformCalls() = saved_;
    Clear();
}

std::vector<RecordedEvent> EventRecorder::Events() const
{
    std::lock_guard<std::mutex> lock(guard);
    return events;
}

void EventRecorder::Clear()
{
    std::lock_guard<std::mutex> lock(guard);
    std::vector<RecordedEvent>().swap(events);
    std::vector<std::wstring>().swap(openSources);
    failRegister = 0;
    failReport = 0;
    openCount = 0;
}

void EventRecorder::FailNextRegister(DWORD error)
{
    std::lock_guard<std::mutex> lock(guard);
    failRegister = error;
}

void EventRecorder::FailNextReport(DWORD error)
{
    std::lock_guard<std::mutex> lock(guard);
    failReport = error;
}

int EventRecorder::OpenSources() const
{
    std::lock_guard<std::mutex> lock(guard);
    return openCount;
}

std::wstring Composed(const std::wstring& text)
{
    return L"Source: Triveld  Message: " + text;
}

std::wstring SystemMessage(HRESULT code)
{
    wchar_t* message = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
            FORMAT_MESSAGE_ALLOCATE_BUFFER,
        nullptr, static_cast<DWORD>(code), 0x400, reinterpret_cast<LPWSTR>(&message), 0, nullptr);
    std::wstring text = length != 0 && message != nullptr ? std::wstring(message, length) : L"";
    LocalFree(message);
    return text;
}

std::wstring ErrorSuffix(HRESULT code)
{
    wchar_t hex[16];
    swprintf(hex, 16, L"%#x", static_cast<unsigned int>(code));
    std::wstring suffix = std::wstring(L" Error: ") + hex;
    const std::wstring message = SystemMessage(code);
    if (!message.empty()) {
        suffix += L" " + message;
    }
    return suffix;
}
