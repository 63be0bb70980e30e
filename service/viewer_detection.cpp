#include "service/viewer_detection.h"

#include <shlwapi.h>
#include <winver.h>

#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

#include "service/event_log.h"
#include "service/platform_calls.h"
#include "service/product_bitness.h"
#include "service/registry_key.h"

const char kViewerClassId[] = "{6E2B8D34-5F1C-4A79-B3E8-0D4C7A2F9E51}";
const char kViewerLiteClassId[] = "{2F9C4E71-8D3A-4B6E-9C05-7A1E4D8B3F62}";

namespace {

constexpr size_t kPathCapacity = MAX_PATH;
constexpr size_t kVersionTextCapacity = 128;

const char kDistributedStatusKey[] = "SOFTWARE\\Orvane\\Velmar Distributed\\CurrentVersion";
const char kLiteStatusKey[] = "SOFTWARE\\Orvane\\Velmar Distributed Lite\\CurrentVersion";
const char kInstallStatusValue[] = "LastInstallStatus";

// Reads the executable that one class registration names as its local server
// into `path` (kPathCapacity characters). A missing registration, value or
// file leaves the path empty; none of them is worth an entry.
void ReadServerPath(HKEY classes, const char* classId, wchar_t* path)
{
    path[0] = L'\0';
    RegistryKey classKey;
    if (classKey.OpenKey(classes, classId, ViewerDataAccess(KEY_READ)) != ERROR_SUCCESS) {
        return;
    }
    RegistryKey server;
    if (server.OpenKey(classKey.Handle(), "LocalServer32", ViewerDataAccess(KEY_READ)) != ERROR_SUCCESS) {
        return;
    }
    // Taken as stored: the type is not examined and nothing is expanded.
    wchar_t text[kPathCapacity] = {};
    DWORD size = sizeof(text);
    if (RegQueryValueExW(server.Handle(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(text),
                         &size) != ERROR_SUCCESS) {
        return;
    }
    // A value that fills the buffer without a terminator names no file within it.
    if (std::wmemchr(text, L'\0', kPathCapacity) == nullptr) {
        return;
    }
    PathUnquoteSpacesW(text);
    if (!PathFileExistsW(text)) {
        return;
    }
    std::wmemcpy(path, text, kPathCapacity);
}

wchar_t FoldAsciiCase(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool SamePath(const wchar_t* first, const wchar_t* second)
{
    for (size_t i = 0; i < kPathCapacity; ++i) {
        if (FoldAsciiCase(first[i]) != FoldAsciiCase(second[i])) {
            return false;
        }
        if (first[i] == L'\0') {
            return true;
        }
    }
    return true;
}

// Formats the file version of a version-information block. A root that is
// not exactly one fixed file information record leaves `text` null: S_OK.
HRESULT FileVersionText(const void* block, BSTR* text)
{
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block, "\\", &value, &length) || value == nullptr ||
        length != sizeof(VS_FIXEDFILEINFO)) {
        return S_OK;
    }
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, value, sizeof(info));
    wchar_t formatted[kVersionTextCapacity] = {};
    _snwprintf(formatted, kVersionTextCapacity - 1, L"%d.%d.%d.%d",
               static_cast<int>(HIWORD(info.dwFileVersionMS)),
               static_cast<int>(LOWORD(info.dwFileVersionMS)),
               static_cast<int>(HIWORD(info.dwFileVersionLS)),
               static_cast<int>(LOWORD(info.dwFileVersionLS)));
    *text = ActivePlatformCalls().sysAllocString(formatted);
    return *text != nullptr ? S_OK : E_OUTOFMEMORY;
}

// The executable of the first viewer class into `path` (empty when none is
// installed), and the viewer type when asked for. Fails only when
// HKEY_CLASSES_ROOT\CLSID cannot be opened, with its Error entry written.
HRESULT FindViewerServer(wchar_t* path, size_t capacity, LONG* viewerType)
{
    if (path == nullptr || capacity == 0) {
        return E_INVALIDARG;
    }
    path[0] = L'\0';
    if (viewerType != nullptr) {
        *viewerType = kViewerNone;
    }
    RegistryKey classes;
    const LONG opened = classes.OpenKey(HKEY_CLASSES_ROOT, "CLSID", ViewerDataAccess(KEY_READ));
    if (opened != ERROR_SUCCESS) {
        const HRESULT failure = Win32ToHresult(opened);
        EventLogReporter(EventSeverityError, failure, kEventSourceName,
                         L"Call to CWorkstationInfo::get_ViewerType failed to open CLSID key");
        return failure;
    }
    wchar_t first[kPathCapacity];
    wchar_t second[kPathCapacity];
    ReadServerPath(classes.Handle(), kViewerClassId, first);
    ReadServerPath(classes.Handle(), kViewerLiteClassId, second);
    if (viewerType != nullptr && first[0] != L'\0') {
        *viewerType = SamePath(first, second) ? kViewerDistributedLite : kViewerDistributed;
    }
    // A path cut to a smaller buffer would name another file: it stays empty then.
    const size_t length = std::wcslen(first);
    if (length < capacity) {
        std::wmemcpy(path, first, length);
        std::wmemset(path + length, L'\0', capacity - length);
    }
    return S_OK;
}

} // namespace

HRESULT AnswerViewerType(LONG* plViewerType)
{
    wchar_t path[kPathCapacity];
    const HRESULT found = FindViewerServer(path, kPathCapacity, plViewerType);
    if (FAILED(found)) {
        return found;
    }
    EventLogReporter(EventSeverityInformation, S_OK, kEventSourceName,
                     L"Call to CWorkstationInfo::get_ViewerType returned '%d' for %s",
                     static_cast<int>(*plViewerType), path);
    return S_OK;
}

HRESULT AnswerViewerVersion(BSTR* pbsVersion)
{
    wchar_t path[kPathCapacity];
    const HRESULT found = FindViewerServer(path, kPathCapacity, nullptr);
    if (FAILED(found)) {
        return found;
    }
    const PlatformCalls& calls = ActivePlatformCalls();
    DWORD handle = 0;
    const DWORD size = calls.getFileVersionInfoSizeW(path, &handle);
    // A failure without a recorded error must still read as a failure.
    if (size == 0) {
        return LastFailureHresult();
    }
    std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[size]());
    if (!block) {
        return E_OUTOFMEMORY;
    }
    HRESULT status = S_OK;
    // A block that was not read is never queried, whatever the last error says.
    if (!calls.getFileVersionInfoW(path, handle, size, block.get())) {
        status = LastFailureHresult();
    } else {
        status = FileVersionText(block.get(), pbsVersion);
    }
    block.reset();
    EventLogReporter(EventSeverityInformation, status, kEventSourceName,
                     L"Call to CWorkstationInfo::GetViewerVersion returned '%s' for '%s'",
                     *pbsVersion != nullptr ? *pbsVersion : L"(null)", path);
    return status;
}

HRESULT AnswerLastClientInstallStatus(LONG ViewerType, LONG* opnInstallStatus)
{
    const char* keyPath = ViewerType == kViewerDistributed ? kDistributedStatusKey : kLiteStatusKey;
    RegistryKey key;
    DWORD status = 0;
    LONG result = key.OpenKey(HKEY_LOCAL_MACHINE, keyPath, ViewerDataAccess(KEY_READ));
    if (result == ERROR_SUCCESS) {
        result = key.ReadDword(kInstallStatusValue, &status);
    }
    if (result != ERROR_SUCCESS) {
        const HRESULT failure = Win32ToHresult(result);
        EventLogReporter(EventSeverityError, failure, kEventSourceName,
                         L"GetLastClientInstallStatus failed for viewer type %d",
                         static_cast<int>(ViewerType));
        return failure;
    }
    *opnInstallStatus = static_cast<LONG>(status);
    EventLogReporter(EventSeverityInformation, S_OK, kEventSourceName,
                     L"GetLastClientInstallStatus for viewer type %d succeeded with status %d",
                     static_cast<int>(ViewerType), static_cast<int>(*opnInstallStatus));
    return S_OK;
}
