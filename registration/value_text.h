#ifndef TRIVELD_REGISTRATION_VALUE_TEXT_H
#define TRIVELD_REGISTRATION_VALUE_TEXT_H

#include <windows.h>

#include <cstddef>

// Turns the value texts of binary and multi-string entries into registry data.

// Hex digit pairs, first digit the high half; characters that are not hex
// digits count as 0. `bytes` receives length / 2 bytes. Odd length: E_FAIL.
HRESULT DecodeBinaryText(const char* text, size_t length, BYTE* bytes);

// Bytes that ConvertMultiStringText may write for a text of `length` bytes.
inline size_t MultiStringListSize(size_t length)
{
    return length + 2;
}

// Copies the text with every "\0" turned into a NUL and the list closed by an
// empty string, whether or not the text ends with "\0". Returns the bytes
// written (at most MultiStringListSize).
size_t ConvertMultiStringText(const char* text, char* list);

#endif
