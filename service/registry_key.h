#ifndef TRIVELD_SERVICE_REGISTRY_KEY_H
#define TRIVELD_SERVICE_REGISTRY_KEY_H

#include <windows.h>

// A positive Win32 code becomes 0x8007xxxx; 0 and negative values pass unchanged.
HRESULT Win32ToHresult(LONG code);
// Win32ToHresult of the calling thread's last error.
HRESULT LastErrorHresult();
// LastErrorHresult for a call known to have failed: E_FAIL when the thread
// recorded no error, so that such a failure never reads as success.
HRESULT LastFailureHresult();

// Owns one open registry key (narrow API). Every operation returns a Win32
// code; a failed open or create keeps the key held before.
class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey();

    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    HKEY Handle() const { return key_; }

    LONG OpenKey(HKEY parent, LPCSTR path, REGSAM access);
    LONG CreateKey(HKEY parent, LPCSTR path, LPSTR className, DWORD options, REGSAM access,
                   LPSECURITY_ATTRIBUTES security, LPDWORD disposition = nullptr);
    LONG CloseKey();

    LONG WriteDword(LPCSTR valueName, DWORD value);
    LONG WriteString(LPCSTR valueName, LPCSTR text, DWORD type);
    // Stores the strings up to and including the closing empty one. A list
    // without it within its first `maxBytes` bytes is refused with
    // ERROR_INVALID_PARAMETER and nothing is written.
    LONG WriteMultiString(LPCSTR valueName, LPCSTR list, size_t maxBytes);

    // Only a REG_DWORD of exactly 4 bytes is read; `value` changes only on success.
    LONG ReadDword(LPCSTR valueName, DWORD* value);
    // `size` is in bytes: the buffer's capacity on entry, the value's size on
    // success (0 on failure). A value of zero bytes reads as an empty text.
    LONG ReadString(LPCSTR valueName, LPSTR buffer, DWORD* size);

    // Deletes the named subkey of the held key with everything beneath it. An
    // empty name is refused: the system would take it for the held key itself.
    LONG DeleteTree(LPCSTR subkey);

private:
    LONG Hold(HKEY opened);

    HKEY key_ = nullptr;
};

#endif
