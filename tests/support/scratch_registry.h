#ifndef TRIVELD_TESTS_SCRATCH_REGISTRY_H
#define TRIVELD_TESTS_SCRATCH_REGISTRY_H

#include <windows.h>

#include <string>

// Redirects HKEY_LOCAL_MACHINE and HKEY_CLASSES_ROOT of this process to fresh
// keys under HKCU for the object's lifetime, then deletes them. The COM
// runtime itself ignores the redirection.
class ScratchRegistry {
public:
    ScratchRegistry();
    ~ScratchRegistry();

    ScratchRegistry(const ScratchRegistry&) = delete;
    ScratchRegistry& operator=(const ScratchRegistry&) = delete;

    // HKCU-relative path of the scratch root.
    const std::string& RootPath() const { return rootPath_; }
    HKEY MachineRoot() const { return machine_; }
    HKEY ClassesRoot() const { return classes_; }

private:
    std::string rootPath_;
    HKEY machine_ = nullptr;
    HKEY classes_ = nullptr;
};

// Registry fixture helpers; each fails the calling test on error. Paths use
// backslashes and are relative to `root`. `view` may add kLiteralView.
void SetDword(HKEY root, const std::string& path, const char* name, DWORD value, REGSAM view = 0);
void SetString(HKEY root, const std::string& path, const char* name, const std::string& text,
               DWORD type = REG_SZ);
void SetRaw(HKEY root, const std::string& path, const char* name, DWORD type, const void* data,
            DWORD size, REGSAM view = 0);
void SetWideString(HKEY root, const std::string& path, const wchar_t* name,
                   const std::wstring& text, DWORD type = REG_SZ);
void CreateKeyPath(HKEY root, const std::string& path);
bool KeyExists(HKEY root, const std::string& path, REGSAM view = 0);
// Value bytes and type; false when absent.
bool ReadRaw(HKEY root, const std::string& path, const char* name, DWORD* type,
             std::string* bytes, REGSAM view = 0);

// Keys by their literal paths. In a 32-bit process Wine redirects through any
// key that has a Wow6432Node subkey, even in a scratch root, so that
// SOFTWARE\X and SOFTWARE\Wow6432Node\X become one key as in the real 32-bit
// view; this view sees them apart.
constexpr REGSAM kLiteralView = KEY_WOW64_64KEY;

#endif
