// The readiness report's JSON, written by hand (the samples take no library):
// one object, members in the order they are added, no spaces, and every
// string in printable ASCII, exactly as readiness_report.js writes it.
#ifndef TRIVELD_SAMPLES_JSON_TEXT_H
#define TRIVELD_SAMPLES_JSON_TEXT_H

#include <string>
#include <vector>

// `text` as a JSON string: `"` and `\` escaped, printable ASCII as it is and
// every other UTF-16 unit as \uXXXX (a surrogate pair stays a pair), so that
// no console code page can change it.
std::wstring JsonString(const std::wstring& text);

class JsonObject {
public:
    JsonObject& Null(const wchar_t* name);
    JsonObject& Boolean(const wchar_t* name, bool value);
    JsonObject& Number(const wchar_t* name, long long value);
    JsonObject& Text(const wchar_t* name, const std::wstring& value);
    JsonObject& Texts(const wchar_t* name, const std::vector<std::wstring>& values);
    JsonObject& Object(const wchar_t* name, const JsonObject& value);

    // The object's JSON text.
    std::wstring Encoded() const { return L"{" + members_ + L"}"; }

private:
    JsonObject& Member(const wchar_t* name, const std::wstring& encodedValue);

    std::wstring members_;
};

#endif
