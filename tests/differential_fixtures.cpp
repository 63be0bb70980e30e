// The registry fixtures over which the two product DLLs are compared
// (tests/differential_test.sh): the example workstation and every malformed
// shape of every value the members read (tests/support/registry_shapes.h),
// each in a key of its own that holds the HKLM and HKCR stand-ins, written
// through this 32-bit process's view (SOFTWARE\X lands in
// SOFTWARE\Wow6432Node\X), the layout that both DLLs read. Prints one line
// per fixture, "KEY<tab>LABEL"; exits 1 when a write failed.
// Usage: differential_fixtures PARENT VIEWER (PARENT relative to HKCU)
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/example_workstation.h"
#include "tests/support/registry_shapes.h"
#include "tests/support/scratch_registry.h"

namespace {

const char kDistributedKey[] = "SOFTWARE\\Orvane\\Velmar Distributed\\CurrentVersion";
const char kLiteKey[] = "SOFTWARE\\Orvane\\Velmar Distributed Lite\\CurrentVersion";
const char kFirstServer[] = "CLSID\\{6E2B8D34-5F1C-4A79-B3E8-0D4C7A2F9E51}\\LocalServer32";
const char kSecondServer[] = "CLSID\\{2F9C4E71-8D3A-4B6E-9C05-7A1E4D8B3F62}\\LocalServer32";
const char kSetupRoot[] = "SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\";

using Writer = std::function<void(HKEY machine, HKEY classes)>;

// The .NET keys of the walk with well-formed values, into which one value of
// one key is then stored in a malformed shape.
void SetupKeys(HKEY machine)
{
    const std::string root = kSetupRoot;
    SetString(machine, root + "v2.0.50727", "Version", "2.0.50727.4927");
    SetDword(machine, root + "v2.0.50727", "Install", 1);
    SetDword(machine, root + "v2.0.50727", "SP", 2);
    SetString(machine, root + "v3.5", "Version", "3.5.30729.4926");
    SetDword(machine, root + "v3.5", "Install", 1);
    SetDword(machine, root + "v3.5", "SP", 1);
    SetString(machine, root + "v4\\Full", "Version", kVersion);
    SetDword(machine, root + "v4\\Full", "Install", 1);
    SetDword(machine, root + "v4\\Full", "Release", 528040);
}

std::vector<std::pair<std::string, Writer>> Fixtures(const std::wstring& viewer)
{
    std::vector<std::pair<std::string, Writer>> fixtures;
    fixtures.emplace_back("example workstation", [viewer](HKEY machine, HKEY classes) {
        ProvisionExampleWorkstation(machine, classes, viewer);
    });
    for (const DwordShape& shape : DwordShapes()) {
        const Stored stored = shape.stored;
        fixtures.emplace_back("DoNotUpgradeTo64 " + stored.label, [stored](HKEY machine, HKEY) {
            Store(machine, kDistributedKey, "DoNotUpgradeTo64", stored);
        });
        for (const char* key : {kDistributedKey, kLiteKey}) {
            fixtures.emplace_back(std::string(key) + " LastInstallStatus " + stored.label,
                                  [stored, key](HKEY machine, HKEY) {
                                      Store(machine, key, "LastInstallStatus", stored);
                                  });
        }
        for (const char* level : {"v3.5", "v4\\Full"}) {
            for (const char* name : {"Release", "SP", "Install"}) {
                fixtures.emplace_back(std::string(level) + " " + name + " " + stored.label,
                                      [stored, level, name](HKEY machine, HKEY) {
                                          SetupKeys(machine);
                                          Store(machine, kSetupRoot + std::string(level), name,
                                                stored);
                                      });
            }
        }
    }
    for (const TextShape& shape : TextShapes()) {
        const Stored stored = shape.stored;
        for (const char* level : {"v3.5", "v4\\Full"}) {
            fixtures.emplace_back(std::string(level) + " Version " + stored.label,
                                  [stored, level](HKEY machine, HKEY) {
                                      SetupKeys(machine);
                                      Store(machine, kSetupRoot + std::string(level), "Version",
                                            stored);
                                  });
        }
    }
    for (const ServerShape& shape : ServerShapes(viewer, LongestSpelling(viewer))) {
        const Stored stored = shape.stored;
        fixtures.emplace_back("first server " + stored.label, [stored](HKEY, HKEY classes) {
            StoreDefault(classes, kFirstServer, stored);
        });
        const std::wstring file = shape.file;
        fixtures.emplace_back("second server " + stored.label,
                              [stored, file](HKEY, HKEY classes) {
                                  SetWideString(classes, kFirstServer, nullptr, file);
                                  StoreDefault(classes, kSecondServer, stored);
                              });
    }
    return fixtures;
}

HKEY CreateUnder(const std::string& path)
{
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr))
        << path;
    return key;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: differential_fixtures PARENT VIEWER\n");
        return 2;
    }
    const std::wstring parentWide = argv[1];
    const std::string parent(parentWide.begin(), parentWide.end());
    int index = 0;
    for (const auto& fixture : Fixtures(argv[2])) {
        const std::string root = parent + "\\" + std::to_string(++index);
        const HKEY machine = CreateUnder(root + "\\HKLM");
        const HKEY classes = CreateUnder(root + "\\HKCR");
        CreateKeyPath(machine, "SOFTWARE\\Wow6432Node");
        fixture.second(machine, classes);
        RegCloseKey(machine);
        RegCloseKey(classes);
        std::printf("%s\t%s\n", root.c_str(), fixture.first.c_str());
    }
    return testing::UnitTest::GetInstance()->ad_hoc_test_result().Failed() ? 1 : 0;
}
