#ifndef TRIVELD_SERVICE_NET_FRAMEWORK_RECORD_H
#define TRIVELD_SERVICE_NET_FRAMEWORK_RECORD_H

#include <windows.h>

#include "service/registry_key.h"

// What one .NET Framework setup key holds ("Version", "Release", "SP",
// "Install"), and the ordering by which the newest installed one is chosen.
struct NetFrameworkVersion {
    DWORD minor = 0;
    DWORD major = 0;
    DWORD revision = 0;
    DWORD build = 0;
    DWORD release = 0;
    DWORD servicePack = 0;
    DWORD install = 0;
    BOOL hasServicePack = FALSE;
    BOOL hasInstall = FALSE;
    // Open after ReadFromKey, also when a later read failed; the owner closes it.
    RegistryKey key;

    // Zeroes every field; a key still held is closed rather than leaked.
    void Clear();

    // Opens `subkey` under `parent` for reading and reads the four values. A
    // "Version" that does not parse is reported and the key is still used;
    // any other failed read returns its HRESULT.
    HRESULT ReadFromKey(HKEY parent, const char* subkey);

    // Up to four dot-separated unsigned numbers into major, minor, build and
    // revision; E_INVALIDARG for a bad part or a fifth one, keeping what was
    // stored before it. Keeps no state between calls.
    HRESULT ParseVersionText(const char* text);

    bool IsZero() const;
    // True when `other` is strictly newer than this record.
    bool IsOlderThan(const NetFrameworkVersion& other) const;
    // The four numbers and the release.
    void CopyVersionFrom(const NetFrameworkVersion& other);
    // "major.minor.build.revision;release"; the out-value is null on failure.
    HRESULT Format(BSTR* text) const;
};

#endif
