#include "registration/script_text.h"

const char* NextChar(const char* position)
{
    if (*position == '\0') {
        return position;
    }
    const char* next = CharNextA(position);
    if (next <= position || next > position + 2 || (next == position + 2 && position[1] == '\0')) {
        return position + 1;
    }
    return next;
}

bool EqualsIgnoringCase(const char* left, const char* right)
{
    for (;; ++left, ++right) {
        char a = *left;
        char b = *right;
        if (a >= 'a' && a <= 'z') {
            a = static_cast<char>(a - 'a' + 'A');
        }
        if (b >= 'a' && b <= 'z') {
            b = static_cast<char>(b - 'a' + 'A');
        }
        if (a != b) {
            return false;
        }
        if (a == '\0') {
            return true;
        }
    }
}

bool ContainsBackslash(const char* text)
{
    for (const char* position = text; *position != '\0'; position = NextChar(position)) {
        if (*position == '\\') {
            return true;
        }
    }
    return false;
}
