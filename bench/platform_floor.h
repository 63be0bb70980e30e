#ifndef TRIVELD_BENCH_PLATFORM_FLOOR_H
#define TRIVELD_BENCH_PLATFORM_FLOOR_H

// The platform calls each registry-bound member cannot avoid, made directly
// with no wrapper, logging text or conversion around them: the floor a
// member's own cost is compared with. Each answers like the member would,
// so a mismatch shows that the floor does not do the member's work.

// One Information entry: register the source, report, deregister.
void FloorEventEntry();

// IsWow64Process, open the settings key, read the flag, close.
bool FloorGetDoNotUpgradeTo64();
// IsWow64Process, open the settings key for writing, store the flag, close.
bool FloorPutDoNotUpgradeTo64(bool set);
// The .NET setup walk: root, first-level "v" keys and their four values,
// second-level keys of unfinished versions; the result string and its entry.
// Returns the newest major.minor found (major * 100 + minor), for a check.
unsigned FloorNetVersion();
// Open CLSID, both viewer classes' LocalServer32 default values, unquote,
// file tests, the entry. Returns the viewer type.
long FloorViewerType();
// The viewer lookup, then the version-resource size, read and root query,
// the result string and the entry. Returns the major version.
unsigned FloorViewerVersion();
// Open the edition's status key, read LastInstallStatus, close, the entry.
long FloorInstallStatus(long viewerType);

#endif
