// Decimal and hexadecimal texts of whole numbers, made without the C
// runtime's printf family, whose floating-point conversion alone would be
// about a third of readiness_report.exe.
#ifndef TRIVELD_SAMPLES_NUMBER_TEXT_H
#define TRIVELD_SAMPLES_NUMBER_TEXT_H

#include <string>

// "-2147023293", "0", "528040".
std::wstring DecimalText(long long number);

// Upper-case digits, zero-padded to at least `digits`: HexText(0x643, 8) is
// "00000643".
std::wstring HexText(unsigned long number, int digits);

#endif
