#include "registration/registry_value_writer.h"

#include <oleauto.h>

#include <cstring>
#include <memory>
#include <new>

#include "frame/text_conversion.h"
#include "registration/value_text.h"
#include "service/registry_key.h"

namespace {

// The caller's key may be a root or a key borrowed from another level; the
// write goes through a handle of its own.
LONG OpenForWriting(HKEY key, RegistryKey& target)
{
    return target.OpenKey(key, nullptr, KEY_WRITE);
}

HRESULT WriteString(HKEY key, const char* valueName, const char* text)
{
    RegistryKey target;
    LONG code = OpenForWriting(key, target);
    if (code == ERROR_SUCCESS) {
        code = target.WriteString(valueName, text, REG_SZ);
    }
    return Win32ToHresult(code);
}

// A text the number conversion does not accept is refused with its result
// rather than storing an undefined number.
HRESULT WriteNumber(HKEY key, const char* valueName, const char* text)
{
    const size_t capacity = std::strlen(text) + 1;
    std::unique_ptr<wchar_t[]> wide(new (std::nothrow) wchar_t[capacity]);
    if (!wide || WideFromNarrow(wide.get(), text, static_cast<int>(capacity),
                                ConversionCodePage()) == nullptr) {
        return E_OUTOFMEMORY;
    }
    ULONG number = 0;
    const HRESULT converted = VarUI4FromStr(wide.get(), 0, 0, &number);
    if (FAILED(converted)) {
        return converted;
    }
    RegistryKey target;
    LONG code = OpenForWriting(key, target);
    if (code == ERROR_SUCCESS) {
        code = target.WriteDword(valueName, number);
    }
    return Win32ToHresult(code);
}

HRESULT WriteBinary(HKEY key, const char* valueName, const char* text)
{
    const size_t length = std::strlen(text);
    if (length % 2 != 0) {
        return E_FAIL;
    }
    std::unique_ptr<BYTE[]> bytes(new (std::nothrow) BYTE[length / 2 + 1]);
    if (!bytes) {
        return E_FAIL;
    }
    const HRESULT decoded = DecodeBinaryText(text, length, bytes.get());
    if (FAILED(decoded)) {
        return decoded;
    }
    RegistryKey target;
    LONG code = OpenForWriting(key, target);
    if (code == ERROR_SUCCESS) {
        code = RegSetValueExA(target.Handle(), valueName, 0, REG_BINARY, bytes.get(),
                              static_cast<DWORD>(length / 2));
    }
    return Win32ToHresult(code);
}

HRESULT WriteMultiString(HKEY key, const char* valueName, const char* text)
{
    const size_t capacity = MultiStringListSize(std::strlen(text));
    std::unique_ptr<char[]> list(new (std::nothrow) char[capacity]);
    if (!list) {
        return Win32ToHresult(ERROR_OUTOFMEMORY);
    }
    size_t size = 0;
    const HRESULT converted = ConvertMultiStringText(text, list.get(), &size);
    if (FAILED(converted)) {
        return converted;
    }
    RegistryKey target;
    LONG code = OpenForWriting(key, target);
    if (code == ERROR_SUCCESS) {
        code = target.WriteMultiString(valueName, list.get(), size);
    }
    return Win32ToHresult(code);
}

} // namespace

HRESULT WriteRegistryValue(HKEY key, const char* valueName, ValueKind kind, const char* text)
{
    switch (kind) {
    case ValueKind::String:
        return WriteString(key, valueName, text);
    case ValueKind::Number:
        return WriteNumber(key, valueName, text);
    case ValueKind::Binary:
        return WriteBinary(key, valueName, text);
    case ValueKind::MultiString:
        return WriteMultiString(key, valueName, text);
    case ValueKind::None:
        break;
    }
    return DISP_E_EXCEPTION;
}
