#include "service/registry_key.h"

#include <cstring>

HRESULT Win32ToHresult(LONG code)
{
    if (code <= 0) {
        return static_cast<HRESULT>(code);
    }
    return static_cast<HRESULT>((static_cast<ULONG>(code) & 0x0000FFFF) | 0x80070000);
}

HRESULT LastErrorHresult()
{
    return Win32ToHresult(static_cast<LONG>(GetLastError()));
}

HRESULT LastFailureHresult()
{
    const HRESULT result = LastErrorHresult();
    return FAILED(result) ? result : E_FAIL;
}

RegistryKey::~RegistryKey()
{
    CloseKey();
}

LONG RegistryKey::Hold(HKEY opened)
{
    LONG closed = CloseKey();
    key_ = opened;
    return closed;
}

LONG RegistryKey::OpenKey(HKEY parent, LPCSTR path, REGSAM access)
{
    HKEY opened = nullptr;
    LONG result = RegOpenKeyExA(parent, path, 0, access, &opened);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    return Hold(opened);
}

LONG RegistryKey::CreateKey(HKEY parent, LPCSTR path, LPSTR className, DWORD options,
                            REGSAM access, LPSECURITY_ATTRIBUTES security, LPDWORD disposition)
{
    HKEY created = nullptr;
    DWORD createdOrOpened = 0;
    LONG result = RegCreateKeyExA(parent, path, 0, className, options, access, security,
                                  &created, &createdOrOpened);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    if (disposition != nullptr) {
        *disposition = createdOrOpened;
    }
    return Hold(created);
}

LONG RegistryKey::CloseKey()
{
    if (key_ == nullptr) {
        return ERROR_SUCCESS;
    }
    LONG result = RegCloseKey(key_);
    key_ = nullptr;
    return result;
}

LONG RegistryKey::WriteDword(LPCSTR valueName, DWORD value)
{
    return RegSetValueExA(key_, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value));
}

LONG RegistryKey::WriteString(LPCSTR valueName, LPCSTR text, DWORD type)
{
    if (text == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    const DWORD size = static_cast<DWORD>(std::strlen(text) + 1);
    return RegSetValueExA(key_, valueName, 0, type, reinterpret_cast<const BYTE*>(text), size);
}

LONG RegistryKey::WriteMultiString(LPCSTR valueName, LPCSTR list, size_t maxBytes)
{
    if (list == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    // Walk the strings up to and including the closing empty one, never past maxBytes.
    size_t size = 0;
    for (;;) {
        const void* end = std::memchr(list + size, '\0', maxBytes - size);
        if (end == nullptr) {
            return ERROR_INVALID_PARAMETER;
        }
        const size_t length = static_cast<const char*>(end) - (list + size);
        size += length + 1;
        if (length == 0) {
            break;
        }
        if (size == maxBytes) {
            return ERROR_INVALID_PARAMETER;
        }
    }
    return RegSetValueExA(key_, valueName, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(list),
                          static_cast<DWORD>(size));
}

LONG RegistryKey::ReadDword(LPCSTR valueName, DWORD* value)
{
    if (value == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    DWORD type = 0;
    DWORD read = 0;
    DWORD size = sizeof(read);
    LONG result = RegQueryValueExA(key_, valueName, nullptr, &type, reinterpret_cast<BYTE*>(&read),
                                   &size);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    // A shorter REG_DWORD would leave part of the number unread.
    if (type != REG_DWORD || size != sizeof(read)) {
        return ERROR_INVALID_DATA;
    }
    *value = read;
    return ERROR_SUCCESS;
}

LONG RegistryKey::ReadString(LPCSTR valueName, LPSTR buffer, DWORD* size)
{
    if (size == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    const DWORD capacity = *size;
    DWORD available = capacity;
    *size = 0;
    DWORD type = 0;
    LONG result = RegQueryValueExA(key_, valueName, nullptr, &type,
                                   reinterpret_cast<BYTE*>(buffer), &available);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        return ERROR_INVALID_DATA;
    }
    if (buffer != nullptr) {
        if (available > capacity) {
            return ERROR_MORE_DATA;
        }
        // A value of zero bytes is an empty text; otherwise the last byte must end it.
        if (available == 0) {
            if (capacity > 0) {
                buffer[0] = '\0';
            }
        } else if (buffer[available - 1] != '\0') {
            return ERROR_INVALID_DATA;
        }
    }
    *size = available;
    return ERROR_SUCCESS;
}

LONG RegistryKey::DeleteTree(LPCSTR subkey)
{
    if (subkey == nullptr || subkey[0] == '\0') {
        return ERROR_INVALID_PARAMETER;
    }
    RegistryKey opened;
    LONG result = opened.OpenKey(key_, subkey, KEY_READ | KEY_WRITE);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    for (;;) {
        char name[256];
        DWORD nameSize = sizeof(name);
        if (RegEnumKeyExA(opened.Handle(), 0, name, &nameSize, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS) {
            break;
        }
        result = opened.DeleteTree(name);
        if (result != ERROR_SUCCESS) {
            return result;
        }
    }
    opened.CloseKey();
    return RegDeleteKeyA(key_, subkey);
}
