// The "DoNotUpgradeTo64" flag: where it lives, how it is read and written,
// and the work of the two property accessors built on it.
#include "service/product_settings.h"

#include "service/event_log.h"
#include "service/platform_facts.h"
#include "service/product_bitness.h"
#include "service/registry_key.h"
#include "service/safe_format.h"

namespace {

constexpr size_t kSettingsPathCapacity = 256;

const char* VendorRoot(bool underWow64)
{
    return underWow64 ? kWow64VendorRoot : kNativeVendorRoot;
}

void FormatSettingsPath(char (&path)[kSettingsPathCapacity], const char* vendorRoot)
{
    // Both paths are far shorter than the buffer.
    SafeFormat(path, kSettingsPathCapacity - 1, "%s\\%s\\%s", vendorRoot, kProductKeyName,
               kCurrentVersionKeyName);
}

// Creates (or opens) the vendor root, the product key and CurrentVersion in
// turn; `key` ends up holding the deepest one reached.
LONG CreateSettingsChain(RegistryKey& key, const char* vendorRoot)
{
    LONG result = key.CreateKey(HKEY_LOCAL_MACHINE, vendorRoot, nullptr, 0, ViewerDataAccess(KEY_WRITE),
                              nullptr);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    result = key.CreateKey(key.Handle(), kProductKeyName, nullptr, 0, ViewerDataAccess(KEY_WRITE),
                           nullptr);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    return key.CreateKey(key.Handle(), kCurrentVersionKeyName, nullptr, 0,
                         ViewerDataAccess(KEY_WRITE), nullptr);
}

} // namespace

HRESULT PlatformFacts::GetDoNotUpgradeTo64(bool* isSet)
{
    if (isSet == nullptr) {
        return E_INVALIDARG;
    }
    *isSet = false;
    RegistryKey key;
    LONG result = ERROR_SUCCESS;
    try {
        char path[kSettingsPathCapacity];
        FormatSettingsPath(path, VendorRoot(RunsUnderWow64()));
        result = key.OpenKey(HKEY_LOCAL_MACHINE, path, ViewerDataAccess(KEY_READ));
        if (result == ERROR_SUCCESS) {
            DWORD value = 0;
            result = key.ReadDword(kDoNotUpgradeTo64ValueName, &value);
            if (result == ERROR_SUCCESS && value == 1) {
                *isSet = true;
            }
            key.CloseKey();
        }
    } catch (...) {
        key.CloseKey();
        return LastFailureHresult();
    }
    // An absent key or value is the ordinary "not set".
    if (result == ERROR_FILE_NOT_FOUND) {
        return S_FALSE;
    }
    return Win32ToHresult(result);
}

HRESULT PlatformFacts::SetDoNotUpgradeTo64(bool set)
{
    RegistryKey key;
    try {
        const DWORD value = set ? 1 : 0;
        // One answer chooses the root for both the open and the creation.
        const char* vendorRoot = VendorRoot(RunsUnderWow64());
        char path[kSettingsPathCapacity];
        FormatSettingsPath(path, vendorRoot);
        LONG result = key.OpenKey(HKEY_LOCAL_MACHINE, path, ViewerDataAccess(KEY_WRITE));
        if (result == ERROR_FILE_NOT_FOUND) {
            result = CreateSettingsChain(key, vendorRoot);
        }
        if (result != ERROR_SUCCESS) {
            return Win32ToHresult(result);
        }
        result = key.WriteDword(kDoNotUpgradeTo64ValueName, value);
        key.CloseKey();
        return Win32ToHresult(result);
    } catch (...) {
        key.CloseKey();
        return LastFailureHresult();
    }
}

HRESULT AnswerDoNotUpgradeTo64(VARIANT_BOOL* pVal)
{
    bool isSet = false;
    const HRESULT result = PlatformFacts::GetDoNotUpgradeTo64(&isSet);
    if (FAILED(result)) {
        EventLogReporter(EventSeverityError, result, kEventSourceName,
                         L"Call to CWorkstationInfo::GetDoNotUpgradeTo64 failed");
    }
    *pVal = isSet ? VARIANT_TRUE : VARIANT_FALSE;
    return result;
}

HRESULT StoreDoNotUpgradeTo64(VARIANT_BOOL newValue)
{
    const HRESULT result = PlatformFacts::SetDoNotUpgradeTo64(newValue != 0);
    if (FAILED(result)) {
        EventLogReporter(EventSeverityError, result, kEventSourceName,
                         L"Call to CWorkstationInfo::SetDoNotUpgradeTo64 failed");
    }
    return result;
}
