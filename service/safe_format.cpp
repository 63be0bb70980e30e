#include "service/safe_format.h"

#include <cstdarg>
#include <cstdio>

HRESULT SafeFormat(char* buffer, size_t limit, const char* format, ...)
{
    if (buffer == nullptr || format == nullptr || limit == 0 || limit > kSafeFormatMaxLimit) {
        return E_INVALIDARG;
    }
    const size_t room = limit - 1;
    va_list arguments;
    va_start(arguments, format);
    // The C runtime's own formatter: it returns -1 when the text exceeds the
    // room and writes no terminator when the text fills it exactly.
    const int written = _vsnprintf(buffer, room, format, arguments);
    va_end(arguments);
    if (written < 0 || static_cast<size_t>(written) > room) {
        buffer[room] = '\0';
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    buffer[written] = '\0';
    return S_OK;
}
