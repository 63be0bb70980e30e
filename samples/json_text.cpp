#include "json_text.h"

#include "number_text.h"

std::wstring JsonString(const std::wstring& text)
{
    std::wstring encoded = L"\"";
    for (const wchar_t unit : text) {
        if (unit == L'"' || unit == L'\\') {
            encoded += L'\\';
            encoded += unit;
        } else if (unit >= 0x20 && unit < 0x7F) {
            encoded += unit;
        } else {
            encoded += L"\\u" + HexText(unit, 4);
        }
    }
    return encoded + L"\"";
}

JsonObject& JsonObject::Member(const wchar_t* name, const std::wstring& encodedValue)
{
    if (!members_.empty()) {
        members_ += L',';
    }
    members_ += JsonString(name) + L":" + encodedValue;
    return *this;
}

JsonObject& JsonObject::Null(const wchar_t* name)
{
    return Member(name, L"null");
}

JsonObject& JsonObject::Boolean(const wchar_t* name, bool value)
{
    return Member(name, value ? L"true" : L"false");
}

JsonObject& JsonObject::Number(const wchar_t* name, long long value)
{
    return Member(name, DecimalText(value));
}

JsonObject& JsonObject::Text(const wchar_t* name, const std::wstring& value)
{
    return Member(name, JsonString(value));
}

JsonObject& JsonObject::Texts(const wchar_t* name, const std::vector<std::wstring>& values)
{
    std::wstring list;
    for (const std::wstring& value : values) {
        list += (list.empty() ? L"" : L",") + JsonString(value);
    }
    return Member(name, L"[" + list + L"]");
}

JsonObject& JsonObject::Object(const wchar_t* name, const JsonObject& value)
{
    return Member(name, value.Encoded());
}
