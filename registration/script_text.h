#ifndef TRIVELD_REGISTRATION_SCRIPT_TEXT_H
#define TRIVELD_REGISTRATION_SCRIPT_TEXT_H

#include <windows.h>

#include <cstddef>

// Stepping through narrow script text that may hold double-byte characters.

// The character after `position` (one or two bytes), never beyond the
// terminator: a lead byte directly before the end stands alone.
const char* NextChar(const char* position);

// Tab, line feed, carriage return and space; nothing else.
inline bool IsBlank(char c)
{
    return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}

// ASCII-only comparison without regard to case. The names it is used for
// are all ASCII, and locale-aware comparison may ignore punctuation.
bool EqualsIgnoringCase(const char* left, const char* right);

// True when a whole character of the text is a backslash (a trail byte that
// happens to be 0x5C does not count).
bool ContainsBackslash(const char* text);

#endif
