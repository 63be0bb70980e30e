#ifndef TRIVELD_REGISTRATION_PLACEHOLDER_EXPANSION_H
#define TRIVELD_REGISTRATION_PLACEHOLDER_EXPANSION_H

#include <windows.h>

class ReplacementMap;

// Longest placeholder name in bytes; one more gives E_FAIL.
constexpr size_t kMaxPlaceholderName = 31;

// Replaces every %NAME% of the script by the map's text for NAME and "%%" by
// "%". Inserted text is not scanned again. On success *expanded holds a task
// allocated text (free it with CoTaskMemFree); on failure it stays null.
// A null map defines nothing.
HRESULT ExpandReplacements(const ReplacementMap* replacements, const char* script,
                           char** expanded);

#endif
