#include "tests/support/example_workstation.h"

#include "tests/support/process_kind.h"
#include "tests/support/scratch_registry.h"

namespace {

const char kNetRoot[] = "SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\";
const char kDistributedKey[] = "SOFTWARE\\Orvane\\Velmar Distributed\\CurrentVersion";
const char kLiteKey[] = "SOFTWARE\\Orvane\\Velmar Distributed Lite\\CurrentVersion";
const char kFirstServer[] = "CLSID\\{6E2B8D34-5F1C-4A79-B3E8-0D4C7A2F9E51}\\LocalServer32";
const char kSecondServer[] = "CLSID\\{2F9C4E71-8D3A-4B6E-9C05-7A1E4D8B3F62}\\LocalServer32";

void NetKey(HKEY machine, const std::string& name, const char* version, DWORD servicePack,
            DWORD release)
{
    const std::string path = kNetRoot + name;
    SetDword(machine, path, "Install", 1);
    SetString(machine, path, "Version", version);
    if (servicePack != 0) {
        SetDword(machine, path, "SP", servicePack);
    }
    if (release != 0) {
        SetDword(machine, path, "Release", release);
    }
}

} // namespace

void ProvisionExampleWorkstation(const ScratchRegistry& registry, const std::wstring& viewerPath)
{
    ProvisionExampleWorkstation(registry.MachineRoot(), registry.ClassesRoot(), viewerPath);
}

void ProvisionExampleWorkstation(HKEY machine, HKEY classes, const std::wstring& viewerPath)
{
    if (kUnderWow64) {
        // Laid out as the 32-bit view of HKLM, where SOFTWARE\X and
        // SOFTWARE\Wow6432Node\X are one key (see kLiteralView).
        CreateKeyPath(machine, "SOFTWARE\\Wow6432Node");
    }
    NetKey(machine, "v2.0.50727", "2.0.50727.4927", 2, 0);
    NetKey(machine, "v3.5", "3.5.30729.4926", 1, 0);
    NetKey(machine, "v4\\Client", "4.8.03761", 0, 528040);
    NetKey(machine, "v4\\Full", "4.8.03761", 0, 528040);
    SetWideString(classes, kFirstServer, nullptr, L"\"" + viewerPath + L"\"");
    SetWideString(classes, kSecondServer, nullptr, viewerPath);
    SetDword(machine, kDistributedKey, "DoNotUpgradeTo64", 1);
    SetDword(machine, kDistributedKey, "LastInstallStatus", 1603);
    SetDword(machine, kLiteKey, "LastInstallStatus", 0);
}
