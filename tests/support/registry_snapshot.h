#ifndef TRIVELD_TESTS_REGISTRY_SNAPSHOT_H
#define TRIVELD_TESTS_REGISTRY_SNAPSHOT_H

#include <windows.h>

#include <set>
#include <string>

// Every key and value below `root`, one line each, paths relative to root:
//   "Key\Sub"                       a key
//   "Key\Sub : Name = SZ text"      a value ("@" names the default value)
// Types: SZ, DWORD (decimal), BINARY/MULTI_SZ/other (hex bytes).
std::set<std::string> SnapshotTree(HKEY root);

// Lines in one set but not the other, for readable failure messages.
std::string DescribeDifference(const std::set<std::string>& expected,
                               const std::set<std::string>& actual);

#endif
