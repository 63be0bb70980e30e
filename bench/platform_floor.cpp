#include "bench/platform_floor.h"

#include <windows.h>

#include <oleauto.h>
#include <shlwapi.h>
#include <winver.h>

#include <vector>

#include "service/product_bitness.h"

namespace {

// The viewer's data lies in the 32-bit registry view, which the 64-bit DLL
// names on every open (service/product_bitness.h): so does its floor.
constexpr REGSAM kRead = KEY_READ | kViewerDataView;
constexpr REGSAM kWrite = KEY_WRITE | kViewerDataView;

const char kSettingsKey[] = "SOFTWARE\\Orvane\\Velmar Distributed\\CurrentVersion";
const char kLiteKey[] = "SOFTWARE\\Orvane\\Velmar Distributed Lite\\CurrentVersion";
const char kSetupRoot[] = "SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\";
const char* const kViewerClasses[] = {"{6E2B8D34-5F1C-4A79-B3E8-0D4C7A2F9E51}",
                                      "{2F9C4E71-8D3A-4B6E-9C05-7A1E4D8B3F62}"};

bool UnderWow64()
{
    using IsWow64 = BOOL(WINAPI*)(HANDLE, PBOOL);
    static const IsWow64 isWow64 = reinterpret_cast<IsWow64>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "IsWow64Process")));
    BOOL under = FALSE;
    return isWow64 != nullptr && isWow64(GetCurrentProcess(), &under) && under;
}

DWORD QueryDword(HKEY key, const char* name, bool* present)
{
    DWORD value = 0;
    DWORD type = 0;
    DWORD size = sizeof(value);
    *present = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                                &size) == ERROR_SUCCESS;
    return value;
}

struct FloorVersion {
    unsigned majorMinor = 0;
    bool finished = false;
    bool installed = false;
};

FloorVersion ReadVersionKey(HKEY key)
{
    char text[32];
    DWORD size = sizeof(text);
    FloorVersion version;
    if (RegQueryValueExA(key, "Version", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) ==
        ERROR_SUCCESS) {
        unsigned major = 0;
        const char* at = text;
        for (; *at >= '0' && *at <= '9'; ++at) {
            major = major * 10 + static_cast<unsigned>(*at - '0');
        }
        unsigned minor = 0;
        if (*at == '.') {
            for (++at; *at >= '0' && *at <= '9'; ++at) {
                minor = minor * 10 + static_cast<unsigned>(*at - '0');
            }
        }
        version.majorMinor = major * 100 + minor;
    }
    bool present = false;
    QueryDword(key, "Release", &present);
    bool hasServicePack = false;
    QueryDword(key, "SP", &hasServicePack);
    bool hasInstall = false;
    const DWORD install = QueryDword(key, "Install", &hasInstall);
    version.installed = hasInstall && install == 1;
    version.finished = version.installed && hasServicePack;
    return version;
}

void EntryWithText(const wchar_t* text)
{
    HANDLE log = RegisterEventSourceW(nullptr, L"Triveld");
    if (log == nullptr) {
        return;
    }
    LPCWSTR strings[] = {text};
    ReportEventW(log, EVENTLOG_INFORMATION_TYPE, 0, GetCurrentProcessId(), nullptr, 1, 0, strings,
                 nullptr);
    DeregisterEventSource(log);
}

// Fills `path` with the first class's existing server and returns the type.
long FindViewer(wchar_t (&path)[MAX_PATH])
{
    HKEY classes = nullptr;
    path[0] = L'\0';
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, kRead, &classes) != ERROR_SUCCESS) {
        return 0;
    }
    wchar_t found[2][MAX_PATH] = {};
    for (int index = 0; index < 2; ++index) {
        HKEY classKey = nullptr;
        if (RegOpenKeyExA(classes, kViewerClasses[index], 0, kRead, &classKey) != ERROR_SUCCESS) {
            continue;
        }
        HKEY server = nullptr;
        if (RegOpenKeyExA(classKey, "LocalServer32", 0, kRead, &server) == ERROR_SUCCESS) {
            DWORD size = sizeof(found[index]);
            if (RegQueryValueExW(server, nullptr, nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(found[index]), &size) == ERROR_SUCCESS) {
                PathUnquoteSpacesW(found[index]);
                if (!PathFileExistsW(found[index])) {
                    found[index][0] = L'\0';
                }
            }
            RegCloseKey(server);
        }
        RegCloseKey(classKey);
    }
    RegCloseKey(classes);
    if (found[0][0] == L'\0') {
        return 0;
    }
    lstrcpyW(path, found[0]);
    return lstrcmpiW(found[0], found[1]) == 0 ? 2 : 1;
}

} // namespace

void FloorEventEntry()
{
    EntryWithText(L"Source: Triveld  Message: floor");
}

bool FloorGetDoNotUpgradeTo64()
{
    UnderWow64();
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, kRead, &key) != ERROR_SUCCESS) {
        return false;
    }
    bool present = false;
    const DWORD value = QueryDword(key, "DoNotUpgradeTo64", &present);
    RegCloseKey(key);
    return present && value == 1;
}

bool FloorPutDoNotUpgradeTo64(bool set)
{
    UnderWow64();
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, kWrite, &key) != ERROR_SUCCESS) {
        return false;
    }
    const DWORD value = set ? 1 : 0;
    const bool stored = RegSetValueExA(key, "DoNotUpgradeTo64", 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&value),
                                       sizeof(value)) == ERROR_SUCCESS;
    RegCloseKey(key);
    return stored;
}

unsigned FloorNetVersion()
{
    HKEY root = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSetupRoot, 0, kRead, &root) != ERROR_SUCCESS) {
        return 0;
    }
    unsigned best = 0;
    char name[128];
    DWORD size = sizeof(name);
    for (DWORD index = 0; RegEnumKeyExA(root, index, name, &size, nullptr, nullptr, nullptr,
                                        nullptr) == ERROR_SUCCESS;
         ++index, size = sizeof(name)) {
        HKEY first = nullptr;
        if (name[0] != 'v' ||
            RegOpenKeyExA(root, name, 0, kRead, &first) != ERROR_SUCCESS) {
            continue;
        }
        const FloorVersion version = ReadVersionKey(first);
        if (version.finished) {
            best = version.majorMinor > best ? version.majorMinor : best;
        } else {
            char subName[128];
            DWORD subSize = sizeof(subName);
            for (DWORD sub = 0; RegEnumKeyExA(first, sub, subName, &subSize, nullptr, nullptr,
                                              nullptr, nullptr) == ERROR_SUCCESS;
                 ++sub, subSize = sizeof(subName)) {
                HKEY second = nullptr;
                if (RegOpenKeyExA(first, subName, 0, kRead, &second) != ERROR_SUCCESS) {
                    continue;
                }
                const FloorVersion candidate = ReadVersionKey(second);
                if (candidate.installed && candidate.majorMinor > best) {
                    best = candidate.majorMinor;
                }
                RegCloseKey(second);
            }
        }
        RegCloseKey(first);
    }
    RegCloseKey(root);
    BSTR text = SysAllocString(L"4.8.3761.0;528040");
    EntryWithText(text);
    SysFreeString(text);
    return best;
}

long FloorViewerType()
{
    wchar_t path[MAX_PATH];
    const long type = FindViewer(path);
    EntryWithText(path);
    return type;
}

unsigned FloorViewerVersion()
{
    wchar_t path[MAX_PATH];
    FindViewer(path);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &handle);
    if (size == 0) {
        return 0;
    }
    std::vector<BYTE> block(size);
    unsigned major = 0;
    if (GetFileVersionInfoW(path, handle, size, block.data())) {
        void* value = nullptr;
        UINT length = 0;
        if (VerQueryValueA(block.data(), "\\", &value, &length) && length == sizeof(VS_FIXEDFILEINFO)) {
            major = HIWORD(static_cast<VS_FIXEDFILEINFO*>(value)->dwFileVersionMS);
        }
    }
    BSTR text = SysAllocString(L"10.2.0.1537");
    EntryWithText(text);
    SysFreeString(text);
    return major;
}

long FloorInstallStatus(long viewerType)
{
    HKEY key = nullptr;
    long status = -1;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, viewerType == 1 ? kSettingsKey : kLiteKey, 0, kRead,
                      &key) == ERROR_SUCCESS) {
        bool present = false;
        const DWORD value = QueryDword(key, "LastInstallStatus", &present);
        status = present ? static_cast<long>(value) : -1;
        RegCloseKey(key);
    }
    EntryWithText(L"Source: Triveld  Message: floor");
    return status;
}
