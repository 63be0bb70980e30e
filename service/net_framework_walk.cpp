// The walk behind get_NetVersion: the newest installed .NET Framework among
// the setup keys' "v" keys and the subkeys of those not finished themselves.
#include "service/net_framework_walk.h"

#include "frame/text_conversion.h"
#include "service/event_log.h"
#include "service/net_framework_record.h"
#include "service/product_bitness.h"
#include "service/registry_key.h"

namespace {

// Ends with a backslash, so logged paths show two before a subkey name.
const wchar_t kSetupRootPath[] = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\";

// Enumerated subkey names: 127 characters and the terminator.
constexpr DWORD kNameCapacity = 128;

// A narrow subkey name as it appears in an event-log text.
class WideName {
public:
    explicit WideName(const char* name)
    {
        WideFromNarrow(text_, name, static_cast<int>(kNameCapacity), ConversionCodePage());
    }
    const wchar_t* Text() const { return text_; }

private:
    wchar_t text_[kNameCapacity] = {};
};

// Every call gets the full buffer size again, since the system overwrites it.
LONG EnumerateSubkey(HKEY parent, DWORD index, char (&name)[kNameCapacity])
{
    DWORD size = kNameCapacity;
    return RegEnumKeyExA(parent, index, name, &size, nullptr, nullptr, nullptr, nullptr);
}

// A first-level key whose values say it is a complete install of its own.
bool IsFinishedVersion(const NetFrameworkVersion& version)
{
    return version.hasInstall && version.install == 1 && version.hasServicePack;
}

// Candidates beneath a first-level key that is not finished itself (v4\Full
// and the like). Fails only when the enumeration itself fails.
HRESULT ExamineSecondLevel(NetFrameworkVersion& parent, const char* parentName,
                           NetFrameworkVersion& best)
{
    NetFrameworkVersion candidate;
    for (DWORD index = 0;; ++index) {
        char name[kNameCapacity] = {};
        const LONG result = EnumerateSubkey(parent.key.Handle(), index, name);
        if (result == ERROR_NO_MORE_ITEMS) {
            return S_OK;
        }
        if (result != ERROR_SUCCESS) {
            const HRESULT failure = Win32ToHresult(result);
            EventLogReporter(EventSeverityWarning, failure, kEventSourceName,
                             L"Call to CWorkstationInfo::get_NetVersion failed to enumerate "
                             L"'%s\\%s' subkeys at %u",
                             kSetupRootPath, WideName(parentName).Text(),
                             static_cast<unsigned int>(index));
            return failure;
        }
        candidate.Clear();
        const HRESULT read = candidate.ReadFromKey(parent.key.Handle(), name);
        if (FAILED(read)) {
            EventLogReporter(EventSeverityWarning, read, kEventSourceName,
                             L"Call to CWorkstationInfo::get_NetVersion failed to open and read "
                             L"'%s\\%s\\%s' key",
                             kSetupRootPath, WideName(parentName).Text(), WideName(name).Text());
        } else if (candidate.hasInstall && candidate.install == 1 &&
                   best.IsOlderThan(candidate)) {
            best.CopyVersionFrom(candidate);
        }
        candidate.key.CloseKey();
    }
}

// One subkey of the root; only a failed second-level enumeration fails it.
HRESULT ExamineFirstLevel(HKEY root, const char* name, NetFrameworkVersion& best)
{
    NetFrameworkVersion version;
    version.Clear();
    const HRESULT read = version.ReadFromKey(root, name);
    if (FAILED(read)) {
        EventLogReporter(EventSeverityWarning, read, kEventSourceName,
                         L"Call to CWorkstationInfo::get_NetVersion failed to open and read "
                         L"'%s\\%s' key",
                         kSetupRootPath, WideName(name).Text());
        return S_OK;
    }
    if (IsFinishedVersion(version)) {
        if (!version.IsZero() && best.IsOlderThan(version)) {
            best.CopyVersionFrom(version);
        }
        return S_OK;
    }
    return ExamineSecondLevel(version, name, best);
}

// Walks the root's "v" keys into `best`; S_OK when every subkey was visited.
HRESULT WalkSetupKeys(HKEY root, NetFrameworkVersion& best)
{
    for (DWORD index = 0;; ++index) {
        char name[kNameCapacity] = {};
        const LONG result = EnumerateSubkey(root, index, name);
        if (result == ERROR_NO_MORE_ITEMS) {
            return S_OK;
        }
        if (result != ERROR_SUCCESS) {
            const HRESULT failure = Win32ToHresult(result);
            EventLogReporter(EventSeverityError, failure, kEventSourceName,
                             L"Call to CWorkstationInfo::get_NetVersion failed to enumerate '%s' "
                             L"subkeys at %u",
                             kSetupRootPath, static_cast<unsigned int>(index));
            return failure;
        }
        // Only lower-case "v" names are version keys (v2.0.50727, v4, ...).
        if (name[0] != 'v') {
            continue;
        }
        const HRESULT examined = ExamineFirstLevel(root, name, best);
        if (FAILED(examined)) {
            return examined;
        }
    }
}

LONG OpenSetupRoot(RegistryKey& root)
{
    char path[MAX_PATH] = {};
    if (NarrowFromWide(path, kSetupRootPath, MAX_PATH, ConversionCodePage()) == nullptr) {
        const DWORD error = GetLastError();
        return error != ERROR_SUCCESS ? static_cast<LONG>(error) : ERROR_INVALID_PARAMETER;
    }
    return root.OpenKey(HKEY_LOCAL_MACHINE, path, ViewerDataAccess(KEY_READ));
}

} // namespace

HRESULT AnswerNetVersion(BSTR* pbsNetVersion)
{
    RegistryKey root;
    const LONG opened = OpenSetupRoot(root);
    if (opened != ERROR_SUCCESS) {
        const HRESULT failure = Win32ToHresult(opened);
        EventLogReporter(EventSeverityError, failure, kEventSourceName,
                         L"Call to CWorkstationInfo::get_NetVersion failed to open '%s' key",
                         kSetupRootPath);
        return failure;
    }

    NetFrameworkVersion best;
    best.Clear();
    const HRESULT walked = WalkSetupKeys(root.Handle(), best);
    if (FAILED(walked)) {
        return walked;
    }

    const HRESULT formatted = best.Format(pbsNetVersion);
    EventLogReporter(EventSeverityInformation, 0, kEventSourceName,
                     L"Call to CWorkstationInfo::get_NetVersion returned '%s'",
                     *pbsNetVersion != nullptr ? *pbsNetVersion : L"(null)");
    return formatted;
}
