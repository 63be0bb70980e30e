#ifndef TRIVELD_REGISTRATION_SCRIPT_VOCABULARY_H
#define TRIVELD_REGISTRATION_SCRIPT_VOCABULARY_H

#include <windows.h>

// The fixed words of the registration script language. Every comparison is
// of a whole token, without regard to case.

enum class ValueKind { None, String, MultiString, Number, Binary };

// "HKCR", "HKEY_CLASSES_ROOT" and the other root names; null when unknown.
HKEY LookupRootKey(const char* name);

// "S", "M", "D", "B"; ValueKind::None when unknown.
ValueKind LookupValueType(const char* token);

// Shared keys that forced deletions never remove.
bool IsProtectedKeyName(const char* name);

extern const char kNoRemoveKeyword[];
extern const char kForceRemoveKeyword[];
extern const char kDeleteKeyword[];
extern const char kValueKeyword[];

#endif
