#include "tests/support/scratch_root.h"

#include <objbase.h>
#include <winternl.h>

#include <cstring>

namespace {

const char kParent[] = "Software\\TriveldTests";

// The part of every root name that belongs to this process's run.
const std::string& RunPrefix()
{
    static const std::string prefix = [] {
        GUID guid = {};
        wchar_t text[40] = {};
        if (FAILED(CoCreateGuid(&guid)) || StringFromGUID2(guid, text, 40) == 0) {
            // Still unique among live processes; only a reused id could clash.
            return std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()) + "-";
        }
        std::string run = std::to_string(GetCurrentProcessId()) + "-";
        for (const wchar_t* at = text + 1; *at != L'}' && *at != L'\0'; ++at) {
            run += static_cast<char>(*at);
        }
        return run + "-";
    }();
    return prefix;
}

// The native key calls: they take counted names, so a name with an embedded
// NUL can be opened and deleted too.
struct NativeKeyCalls {
    using Open = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
    using Enumerate = NTSTATUS(NTAPI*)(HANDLE, ULONG, ULONG, PVOID, ULONG, PULONG);
    using Delete = NTSTATUS(NTAPI*)(HANDLE);
    using ToWin32 = ULONG(NTAPI*)(NTSTATUS);

    NativeKeyCalls()
    {
        Find(open, "NtOpenKey");
        Find(enumerate, "NtEnumerateKey");
        Find(remove, "NtDeleteKey");
        Find(toWin32, "RtlNtStatusToDosError");
    }
    template <typename Function>
    static void Find(Function& function, const char* name)
    {
        function = reinterpret_cast<Function>(
            reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
    }
    bool Usable() const
    {
        return open != nullptr && enumerate != nullptr && remove != nullptr && toWin32 != nullptr;
    }
    LONG Win32Code(NTSTATUS status) const { return static_cast<LONG>(toWin32(status)); }

    Open open = nullptr;
    Enumerate enumerate = nullptr;
    Delete remove = nullptr;
    ToWin32 toWin32 = nullptr;
};

constexpr ULONG kKeyBasicInformation = 0;
constexpr NTSTATUS kNoMoreEntries = static_cast<NTSTATUS>(0x8000001A);
constexpr ACCESS_MASK kTreeAccess = KEY_READ | DELETE | KEY_WOW64_64KEY;

class OwnedKey {
public:
    explicit OwnedKey(HANDLE handle = nullptr) : handle_(handle) {}
    ~OwnedKey()
    {
        if (handle_ != nullptr) {
            RegCloseKey(static_cast<HKEY>(handle_));
        }
    }
    OwnedKey(const OwnedKey&) = delete;
    OwnedKey& operator=(const OwnedKey&) = delete;

    HANDLE* Out() { return &handle_; }
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

// Deletes the open key `key` after every key below it, depth first.
LONG DeleteOpenTree(const NativeKeyCalls& calls, HANDLE key)
{
    alignas(8) BYTE buffer[sizeof(ULONG) * 4 + sizeof(LARGE_INTEGER) + 512 * sizeof(WCHAR)];
    for (;;) {
        ULONG length = 0;
        NTSTATUS status =
            calls.enumerate(key, 0, kKeyBasicInformation, buffer, sizeof(buffer), &length);
        if (status == kNoMoreEntries) {
            break;
        }
        if (status < 0) {
            return calls.Win32Code(status);
        }
        // KEY_BASIC_INFORMATION: last write time, title index, name length, name.
        ULONG nameLength = 0;
        std::memcpy(&nameLength, buffer + sizeof(LARGE_INTEGER) + sizeof(ULONG), sizeof(ULONG));
        UNICODE_STRING name;
        name.Buffer = reinterpret_cast<PWSTR>(buffer + sizeof(LARGE_INTEGER) + 2 * sizeof(ULONG));
        name.Length = static_cast<USHORT>(nameLength);
        name.MaximumLength = name.Length;
        OBJECT_ATTRIBUTES attributes = {};
        attributes.Length = sizeof(attributes);
        attributes.RootDirectory = key;
        attributes.ObjectName = &name;
        attributes.Attributes = OBJ_CASE_INSENSITIVE;
        OwnedKey child;
        status = calls.open(child.Out(), kTreeAccess, &attributes);
        if (status < 0) {
            return calls.Win32Code(status);
        }
        const LONG result = DeleteOpenTree(calls, child.Get());
        if (result != ERROR_SUCCESS) {
            return result;
        }
    }
    return calls.Win32Code(calls.remove(key));
}

} // namespace

std::string NewScratchRootPath(const char* kind)
{
    static volatile LONG sequence = 0;
    return std::string(kParent) + "\\" + RunPrefix() + kind + "-" +
           std::to_string(InterlockedIncrement(&sequence));
}

LONG DeleteScratchRoot(const std::string& path)
{
    static const NativeKeyCalls calls;
    if (!calls.Usable()) {
        return ERROR_PROC_NOT_FOUND;
    }
    HKEY root = nullptr;
    const LONG opened = RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, kTreeAccess, &root);
    if (opened != ERROR_SUCCESS) {
        return opened == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : opened;
    }
    OwnedKey owner(root);
    return DeleteOpenTree(calls, root);
}

std::vector<std::string> RemoveRootsLeftByThisRun()
{
    std::vector<std::string> left;
    HKEY parent = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kParent, 0, KEY_READ, &parent) != ERROR_SUCCESS) {
        return left;
    }
    char name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof(name);
        if (RegEnumKeyExA(parent, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        if (std::strncmp(name, RunPrefix().c_str(), RunPrefix().size()) == 0) {
            left.emplace_back(name);
        }
    }
    RegCloseKey(parent);
    for (const std::string& root : left) {
        DeleteScratchRoot(std::string(kParent) + "\\" + root);
    }
    // Fails while another process's roots are there, as it should.
    RegDeleteKeyA(HKEY_CURRENT_USER, kParent);
    return left;
}
