#include "registration/placeholder_expansion.h"

#include <cstring>

#include "registration/expansion_buffer.h"
#include "registration/narrow_text.h"
#include "registration/replacement_map.h"
#include "registration/script_text.h"

namespace {

// The closing "%" of a placeholder whose name starts at `name`, or null.
const char* FindClosingPercent(const char* name)
{
    for (const char* position = name; *position != '\0'; position = NextChar(position)) {
        if (*position == '%') {
            return position;
        }
    }
    return nullptr;
}

// Appends the text defined for the placeholder name [name, end).
HRESULT AppendReplacement(const ReplacementMap* replacements, const char* name, const char* end,
                          ExpansionBuffer& buffer)
{
    const size_t length = static_cast<size_t>(end - name);
    if (length > kMaxPlaceholderName) {
        return E_FAIL;
    }
    char key[kMaxPlaceholderName + 1];
    std::memcpy(key, name, length);
    key[length] = '\0';
    const wchar_t* text = replacements != nullptr ? replacements->FindReplacement(key) : nullptr;
    if (text == nullptr) {
        return DISP_E_EXCEPTION;
    }
    NarrowText narrow;
    if (!narrow.Assign(text) || !buffer.Append(narrow.Get(), narrow.Length())) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

} // namespace

HRESULT ExpandReplacements(const ReplacementMap* replacements, const char* script,
                           char** expanded)
{
    if (expanded != nullptr) {
        *expanded = nullptr;
    }
    if (script == nullptr || expanded == nullptr) {
        return E_POINTER;
    }
    ExpansionBuffer buffer;
    if (!buffer.Allocate(std::strlen(script))) {
        return E_OUTOFMEMORY;
    }
    const char* position = script;
    while (*position != '\0') {
        if (*position != '%') {
            const char* next = NextChar(position);
            if (!buffer.Append(position, static_cast<size_t>(next - position))) {
                return E_OUTOFMEMORY;
            }
            position = next;
            continue;
        }
        if (position[1] == '%') {
            if (!buffer.Append("%", 1)) {
                return E_OUTOFMEMORY;
            }
            position += 2;
            continue;
        }
        const char* name = position + 1;
        const char* closing = FindClosingPercent(name);
        if (closing == nullptr) {
            return DISP_E_EXCEPTION;
        }
        const HRESULT result = AppendReplacement(replacements, name, closing, buffer);
        if (FAILED(result)) {
            return result;
        }
        position = closing + 1;
    }
    *expanded = buffer.Detach();
    return S_OK;
}
