#include "service/event_log.h"

#include <cstdarg>
#include <cwchar>

#include "service/platform_calls.h"
#include "service/registry_key.h"

const wchar_t kEventSourceName[] = L"Triveld";

namespace {

// Appends formatted text to a bounded buffer, cutting what does not fit.
class BoundedText {
public:
    // Uses the C runtime's own wide formatter, in which %s takes a wide string.
    void AppendV(const wchar_t* format, va_list arguments)
    {
        const size_t room = kMaxEventTextLength - length_;
        if (room == 0) {
            return;
        }
        int written = _vsnwprintf(text_ + length_, room, format, arguments);
        if (written < 0 || static_cast<size_t>(written) > room) {
            // Cut: the formatter filled the room without a terminator.
            length_ = kMaxEventTextLength;
            text_[length_] = L'\0';
            return;
        }
        length_ += static_cast<size_t>(written);
        text_[length_] = L'\0';
    }

    void Append(const wchar_t* format, ...)
    {
        va_list arguments;
        va_start(arguments, format);
        AppendV(format, arguments);
        va_end(arguments);
    }

    const wchar_t* Text() const { return text_; }

private:
    wchar_t text_[kMaxEventTextLength + 1] = {};
    size_t length_ = 0;
};

WORD EventTypeOf(int severity)
{
    switch (severity) {
    case EventSeverityError:
        return EVENTLOG_ERROR_TYPE;
    case EventSeverityWarning:
        return EVENTLOG_WARNING_TYPE;
    case EventSeveritySuccess:
        return EVENTLOG_SUCCESS;
    default:
        return EVENTLOG_INFORMATION_TYPE;
    }
}

void AppendSystemMessage(BoundedText& text, HRESULT code)
{
    text.Append(L" Error: %#x", static_cast<unsigned int>(code));
    wchar_t* message = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                      FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                  nullptr, static_cast<DWORD>(code), 0x400,
                                  reinterpret_cast<LPWSTR>(&message), 0, nullptr);
    if (length == 0 || message == nullptr) {
        return;
    }
    text.Append(L" %s", message);
    LocalFree(message);
}

HRESULT WriteEntry(int severity, HRESULT code, const wchar_t* source, const wchar_t* text)
{
    const PlatformCalls& calls = ActivePlatformCalls();
    HANDLE log = calls.registerEventSource(nullptr, source);
    if (log == nullptr) {
        return LastFailureHresult();
    }
    LPCWSTR strings[] = {text};
    if (!calls.reportEvent(log, EventTypeOf(severity), 0, GetCurrentProcessId(), nullptr, 1, 0,
                           strings, nullptr)) {
        HRESULT failure = LastFailureHresult();
        calls.deregisterEventSource(log);
        return failure;
    }
    calls.deregisterEventSource(log);
    return code;
}

} // namespace

HRESULT EventLogReporter(int severity, HRESULT code, const wchar_t* source,
                         const wchar_t* format, ...)
{
    if (source == nullptr || format == nullptr) {
        return E_INVALIDARG;
    }
    BoundedText text;
    text.Append(L"Source: %s  Message: ", source);
    va_list arguments;
    va_start(arguments, format);
    text.AppendV(format, arguments);
    va_end(arguments);
    if (code != 0) {
        AppendSystemMessage(text, code);
    }
    return WriteEntry(severity, code, source, text.Text());
}
