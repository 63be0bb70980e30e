#ifndef TRIVELD_SERVICE_SAFE_FORMAT_H
#define TRIVELD_SERVICE_SAFE_FORMAT_H

#include <windows.h>

#include <cstddef>

// Largest limit SafeFormat accepts, in characters.
constexpr size_t kSafeFormatMaxLimit = 0x7FFFFFFF;

// printf-style formatting into `buffer` of `limit` characters. A limit of 0 or
// above kSafeFormatMaxLimit (or a null buffer or format) gives E_INVALIDARG
// and writes nothing. Otherwise the text is always terminated; one that does
// not fit is cut to limit - 1 characters and 0x8007007A is returned.
HRESULT SafeFormat(char* buffer, size_t limit, const char* format, ...);

#endif
