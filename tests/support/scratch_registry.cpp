#include "tests/support/scratch_registry.h"

#include <gtest/gtest.h>

#include "tests/support/classes_view_route.h"
#include "tests/support/scratch_root.h"

namespace {

HKEY CreateUnder(HKEY parent, const std::string& path, REGSAM view = 0)
{
    HKEY key = nullptr;
    LONG result = RegCreateKeyExA(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS | view, nullptr, &key, nullptr);
    EXPECT_EQ(ERROR_SUCCESS, result) << "creating " << path;
    return key;
}

// Where the path's name that begins at `start` ends: at a backslash that is a
// whole character (a double-byte character's trail byte may be 0x5C), or npos.
std::size_t NameEnd(const std::string& path, std::size_t start)
{
    const char* const begin = path.c_str();
    for (const char* at = begin + start; *at != '\0'; at = CharNextA(at)) {
        if (*at == '\\') {
            return static_cast<std::size_t>(at - begin);
        }
    }
    return std::string::npos;
}

} // namespace

ScratchRegistry::ScratchRegistry()
{
    rootPath_ = NewScratchRootPath("scratch");
    machine_ = CreateUnder(HKEY_CURRENT_USER, rootPath_ + "\\HKLM");
    classes_ = CreateUnder(HKEY_CURRENT_USER, rootPath_ + "\\HKCR");
    EXPECT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_));
    EXPECT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CLASSES_ROOT, classes_));
    RouteViewedClassesOpens(GetModuleHandleW(nullptr));
    SetClassesStandIn(classes_);
}

ScratchRegistry::~ScratchRegistry()
{
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    SetClassesStandIn(nullptr);
    RegCloseKey(machine_);
    RegCloseKey(classes_);
    EXPECT_EQ(ERROR_SUCCESS, DeleteScratchRoot(rootPath_)) << "removing HKCU\\" << rootPath_;
}

// One name at a time: Wine's narrow registry calls take a path of at most
// 260 characters, and a path of long names exceeds that.
void CreateKeyPath(HKEY root, const std::string& path)
{
    HKEY parent = root;
    for (std::size_t start = 0;;) {
        const std::size_t end = NameEnd(path, start);
        HKEY key = CreateUnder(parent, path.substr(start, end - start));
        if (parent != root) {
            RegCloseKey(parent);
        }
        if (key == nullptr || end == std::string::npos) {
            RegCloseKey(key);
            return;
        }
        parent = key;
        start = end + 1;
    }
}

void SetRaw(HKEY root, const std::string& path, const char* name, DWORD type, const void* data,
            DWORD size, REGSAM view)
{
    HKEY key = CreateUnder(root, path, view);
    ASSERT_NE(nullptr, key);
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size));
    RegCloseKey(key);
}

void SetDword(HKEY root, const std::string& path, const char* name, DWORD value, REGSAM view)
{
    SetRaw(root, path, name, REG_DWORD, &value, sizeof(value), view);
}

void SetString(HKEY root, const std::string& path, const char* name, const std::string& text,
               DWORD type)
{
    SetRaw(root, path, name, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void SetWideString(HKEY root, const std::string& path, const wchar_t* name,
                   const std::wstring& text, DWORD type)
{
    HKEY key = CreateUnder(root, path);
    ASSERT_NE(nullptr, key);
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))));
    RegCloseKey(key);
}

bool KeyExists(HKEY root, const std::string& path, REGSAM view)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

bool ReadRaw(HKEY root, const std::string& path, const char* name, DWORD* type,
             std::string* bytes, REGSAM view)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
        return false;
    }
    DWORD size = 0;
    LONG result = RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
    if (result == ERROR_SUCCESS) {
        bytes->assign(size, '\0');
        result = RegQueryValueExA(key, name, nullptr, type,
                                  reinterpret_cast<BYTE*>(&(*bytes)[0]), &size);
        bytes->resize(size);
    }
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}
