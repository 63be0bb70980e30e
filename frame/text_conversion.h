#ifndef TRIVELD_FRAME_TEXT_CONVERSION_H
#define TRIVELD_FRAME_TEXT_CONVERSION_H

#include <windows.h>

// The one code page for every narrow/wide conversion, chosen on first use.
UINT ConversionCodePage();

// Convert the whole source, terminator included. Both return null when an
// argument is null or the conversion fails; the destination is then empty.
wchar_t* WideFromNarrow(wchar_t* destination, const char* source, int capacity, UINT codePage);
char* NarrowFromWide(char* destination, const wchar_t* source, int capacity, UINT codePage);

#endif
