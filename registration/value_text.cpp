#include "registration/value_text.h"

#include <cstring>

#include "registration/script_text.h"

namespace {

BYTE HexDigitValue(char c)
{
    if (c >= '0' && c <= '9') {
        return static_cast<BYTE>(c - '0');
    }
    if (c >= 'A' && c <= 'F') {
        return static_cast<BYTE>(c - 'A' + 10);
    }
    if (c >= 'a' && c <= 'f') {
        return static_cast<BYTE>(c - 'a' + 10);
    }
    return 0;
}

// True when a string follows the list's first empty string.
bool HasStringAfterTheEnd(const char* list, size_t size)
{
    size_t at = 0;
    while (at < size && list[at] != '\0') {
        const void* end = std::memchr(list + at, '\0', size - at);
        if (end == nullptr) {
            return false;
        }
        at = static_cast<size_t>(static_cast<const char*>(end) - list) + 1;
    }
    for (; at < size; ++at) {
        if (list[at] != '\0') {
            return true;
        }
    }
    return false;
}

} // namespace

HRESULT DecodeBinaryText(const char* text, size_t length, BYTE* bytes)
{
    if (length % 2 != 0) {
        return E_FAIL;
    }
    std::memset(bytes, 0, length / 2);
    for (size_t index = 0; index < length; ++index) {
        const int shift = index % 2 == 0 ? 4 : 0;
        const BYTE digit = HexDigitValue(text[index]);
        bytes[index / 2] = static_cast<BYTE>(bytes[index / 2] | (digit << shift));
    }
    return S_OK;
}

HRESULT ConvertMultiStringText(const char* text, char* list, size_t* size)
{
    size_t written = 0;
    const char* position = text;
    while (*position != '\0') {
        if (position[0] == '\\' && position[1] == '0') {
            list[written++] = '\0';
            position += 2;
            continue;
        }
        const char* next = NextChar(position);
        while (position < next) {
            list[written++] = *position++;
        }
    }
    list[written++] = '\0';
    // Text that did not end with "\0" still needs the list's closing empty string.
    if (written < 2 || list[written - 2] != '\0') {
        list[written++] = '\0';
    }
    *size = written;
    return HasStringAfterTheEnd(list, written) ? DISP_E_EXCEPTION : S_OK;
}
