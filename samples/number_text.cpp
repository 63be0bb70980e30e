#include "number_text.h"

#include <algorithm>

std::wstring DecimalText(long long number)
{
    // The magnitude as unsigned, so that the most negative number has one too.
    unsigned long long magnitude = number < 0 ? 0ull - static_cast<unsigned long long>(number)
                                              : static_cast<unsigned long long>(number);
    std::wstring text;
    do {
        text += static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (number < 0) {
        text += L'-';
    }
    std::reverse(text.begin(), text.end());
    return text;
}

std::wstring HexText(unsigned long number, int digits)
{
    std::wstring text;
    for (; number != 0 || static_cast<int>(text.size()) < digits; number >>= 4) {
        text += L"0123456789ABCDEF"[number & 0xF];
    }
    std::reverse(text.begin(), text.end());
    return text;
}
