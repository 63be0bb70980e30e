#ifndef TRIVELD_TESTS_EXAMPLE_WORKSTATION_H
#define TRIVELD_TESTS_EXAMPLE_WORKSTATION_H

#include <windows.h>

#include <string>

class ScratchRegistry;

// Fills a scratch registry as a fully set-up workstation, so that every member
// of the object has a real answer: .NET 2.0 SP2, 3.5 SP1 and 4.8 (Client and
// Full), both viewer classes served by `viewerPath` (the first one quoted),
// LastInstallStatus for both editions and DoNotUpgradeTo64 set.
void ProvisionExampleWorkstation(const ScratchRegistry& registry, const std::wstring& viewerPath);
// The same into the stand-ins `machine` and `classes` for HKLM and HKCR.
void ProvisionExampleWorkstation(HKEY machine, HKEY classes, const std::wstring& viewerPath);

#endif
