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
// backslashes and are relative to `root`.
void SetDword(HKEY root, const std::string& path, const char* name, DWORD value);
void SetString(HKEY root, const std::string& path, const char* name, const std::string& text,
               DWORD type = REG_SZ);
void SetRaw(HKEY root, const std::string& path, const char* name, DWORD type, const void* data,
            DWORD size);
void SetWideString(HKEY root, const std::string& path, const wchar_t* name,
                   const std::wstring& text, DWORD type = REG_SZ);
void CreateKeyPath(HKEY root, const std::string& path);
bool KeyExists(HKEY root, const std::string& path);
// Value bytes and type; false when absent.
bool ReadRaw(HKEY root, const std::string& path, const char* name, DWORD* type,
             std::string* bytes);

#endif
