#ifndef TRIVELD_TESTS_SCRATCH_ROOT_H
#define TRIVELD_TESTS_SCRATCH_ROOT_H

#include <windows.h>

#include <string>
#include <vector>

// Scratch roots are keys under HKEY_CURRENT_USER\Software\TriveldTests, one
// per use, named "<pid>-<run GUID>-<kind>-<n>". The GUID is made once per
// process: Wine reuses process ids, and a later process must never start on
// a root that an earlier one left behind.
std::string NewScratchRootPath(const char* kind);

// Deletes the HKCU-relative key `path` with everything below it, including
// names that the Win32 calls cannot open by name (Wine turns a lone lead byte
// at the end of a narrow name into an embedded NUL). Sees keys by their
// literal paths, whatever redirection a 32-bit process would apply.
// ERROR_SUCCESS, or the first failure as a Win32 code.
LONG DeleteScratchRoot(const std::string& path);

// Deletes every root of this process's run that is still present, and the
// parent key when that leaves it empty; returns the roots' names.
std::vector<std::string> RemoveRootsLeftByThisRun();

#endif
