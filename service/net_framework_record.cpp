#include "service/net_framework_record.h"

#include <cwchar>

#include "frame/text_conversion.h"
#include "service/event_log.h"
#include "service/platform_calls.h"
#include "service/product_bitness.h"

namespace {

// "Version" is read into this many bytes, terminator included.
constexpr DWORD kVersionTextCapacity = 32;
// The longest result text has 54 characters.
constexpr size_t kFormattedCapacity = 64;
constexpr DWORD kLargestNumber = 0xFFFFFFFFu;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// One part of a version text, [begin, end): optional blanks, an optional
// sign, then at least one decimal digit and nothing after them. A magnitude
// beyond 32 bits is held at the largest number whatever the sign; otherwise
// "-" negates modulo 2^32.
bool ParseNumber(const char* begin, const char* end, DWORD* number)
{
    const char* at = begin;
    while (at != end && IsBlank(*at)) {
        ++at;
    }
    bool negative = false;
    if (at != end && (*at == '+' || *at == '-')) {
        negative = *at == '-';
        ++at;
    }
    if (at == end || !IsDigit(*at)) {
        return false;
    }
    DWORD value = 0;
    bool overflow = false;
    for (; at != end && IsDigit(*at); ++at) {
        const DWORD digit = static_cast<DWORD>(*at - '0');
        if (value > (kLargestNumber - digit) / 10) {
            overflow = true;
        } else {
            value = value * 10 + digit;
        }
    }
    if (at != end) {
        return false;
    }
    if (overflow) {
        *number = kLargestNumber;
    } else {
        *number = negative ? 0u - value : value;
    }
    return true;
}

// A failed read other than an absent value ends ReadFromKey.
bool IsHardFailure(LONG result)
{
    return result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND;
}

void ReportInvalidVersion(const char* text, const char* subkey)
{
    wchar_t wideText[kVersionTextCapacity];
    wchar_t wideName[256];
    WideFromNarrow(wideText, text, static_cast<int>(kVersionTextCapacity), ConversionCodePage());
    WideFromNarrow(wideName, subkey, static_cast<int>(sizeof(wideName) / sizeof(wideName[0])),
                   ConversionCodePage());
    EventLogReporter(EventSeverityWarning, E_INVALIDARG, kEventSourceName,
                     L"Invalid .Net version %s for '%s' key", wideText, wideName);
}

} // namespace

void NetFrameworkVersion::Clear()
{
    minor = 0;
    major = 0;
    revision = 0;
    build = 0;
    release = 0;
    servicePack = 0;
    install = 0;
    hasServicePack = FALSE;
    hasInstall = FALSE;
    key.CloseKey();
}

HRESULT NetFrameworkVersion::ReadFromKey(HKEY parent, const char* subkey)
{
    LONG result = key.OpenKey(parent, subkey, ViewerDataAccess(KEY_READ));
    if (result != ERROR_SUCCESS) {
        return Win32ToHresult(result);
    }

    char text[kVersionTextCapacity] = {};
    DWORD size = sizeof(text);
    result = key.ReadString("Version", text, &size);
    if (result == ERROR_SUCCESS) {
        if (FAILED(ParseVersionText(text))) {
            ReportInvalidVersion(text, subkey);
        }
    } else if (result != ERROR_FILE_NOT_FOUND) {
        return Win32ToHresult(result);
    }

    result = key.ReadDword("Release", &release);
    if (IsHardFailure(result)) {
        return Win32ToHresult(result);
    }

    result = key.ReadDword("SP", &servicePack);
    if (IsHardFailure(result)) {
        return Win32ToHresult(result);
    }
    hasServicePack = result == ERROR_SUCCESS;

    result = key.ReadDword("Install", &install);
    if (IsHardFailure(result)) {
        return Win32ToHresult(result);
    }
    hasInstall = result == ERROR_SUCCESS;
    return S_OK;
}

HRESULT NetFrameworkVersion::ParseVersionText(const char* text)
{
    major = 0;
    minor = 0;
    build = 0;
    revision = 0;
    if (text == nullptr) {
        return S_OK;
    }
    DWORD* const parts[] = {&major, &minor, &build, &revision};
    size_t stored = 0;
    const char* at = text;
    for (;;) {
        while (*at == '.') {
            ++at;
        }
        if (*at == '\0') {
            return S_OK;
        }
        const char* end = at;
        while (*end != '.' && *end != '\0') {
            ++end;
        }
        if (stored == sizeof(parts) / sizeof(parts[0])) {
            return E_INVALIDARG;
        }
        if (!ParseNumber(at, end, parts[stored])) {
            return E_INVALIDARG;
        }
        ++stored;
        at = end;
    }
}

bool NetFrameworkVersion::IsZero() const
{
    return major == 0 && minor == 0 && build == 0 && revision == 0;
}

bool NetFrameworkVersion::IsOlderThan(const NetFrameworkVersion& other) const
{
    if (major != other.major) {
        return other.major > major;
    }
    if (minor != other.minor) {
        return other.minor > minor;
    }
    // Releases order versions that share major and minor, but only when both have one.
    if (release != 0 && other.release != 0) {
        return other.release > release;
    }
    if (build != other.build) {
        return other.build > build;
    }
    return other.revision > revision;
}

void NetFrameworkVersion::CopyVersionFrom(const NetFrameworkVersion& other)
{
    major = other.major;
    minor = other.minor;
    build = other.build;
    revision = other.revision;
    release = other.release;
}

HRESULT NetFrameworkVersion::Format(BSTR* text) const
{
    *text = nullptr;
    wchar_t formatted[kFormattedCapacity] = {};
    const int length = _snwprintf(formatted, kFormattedCapacity - 1, L"%u.%u.%u.%u;%u",
                                  static_cast<unsigned int>(major),
                                  static_cast<unsigned int>(minor),
                                  static_cast<unsigned int>(build),
                                  static_cast<unsigned int>(revision),
                                  static_cast<unsigned int>(release));
    if (length < 0) {
        return E_FAIL;
    }
    *text = ActivePlatformCalls().sysAllocString(formatted);
    return *text != nullptr ? S_OK : E_OUTOFMEMORY;
}
