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
// empty string, whether or not the text ends with "\0"; `size` receives the
// bytes written (at most MultiStringListSize). A list ends at its first empty
// string, so a text with a string after an empty one ('a\0\0b\0') would lose
// that string: DISP_E_EXCEPTION. Further closing "\0"s lose nothing.
HRESULT ConvertMultiStringText(const char* text, char* list, size_t* size);

#endif
