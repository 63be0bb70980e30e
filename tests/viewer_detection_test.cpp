// ViewerType, ViewerVersion and GetLastClientInstallStatus against the real
// registry (HKCR and HKLM redirected to scratch keys) and real executables.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "service/platform_calls.h"
#include "service/viewer_detection.h"
#include "service/workstation_info.h"
#include "tests/support/com_ptr.h"
#include "tests/support/event_recorder.h"
#include "tests/support/scratch_registry.h"
#include "tests/support/workstation_object.h"

// Lets one test make the next nothrow array allocation fail.
namespace {
volatile bool failNextArrayAllocation = false;
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    if (failNextArrayAllocation) {
        failNextArrayAllocation = false;
        return nullptr;
    }
    return std::malloc(size != 0 ? size : 1);
}

namespace {

const char kFirstServer[] = "CLSID\\{6E2B8D34-5F1C-4A79-B3E8-0D4C7A2F9E51}\\LocalServer32";
const char kSecondServer[] = "CLSID\\{2F9C4E71-8D3A-4B6E-9C05-7A1E4D8B3F62}\\LocalServer32";
const char kDistributedKey[] = "SOFTWARE\\Orvane\\Velmar Distributed\\CurrentVersion";
const char kLiteKey[] = "SOFTWARE\\Orvane\\Velmar Distributed Lite\\CurrentVersion";

const WORD kErrorType = EVENTLOG_ERROR_TYPE;
const WORD kInformationType = EVENTLOG_INFORMATION_TYPE;

bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring AsciiUpper(std::wstring text)
{
    for (wchar_t& c : text) {
        if (c >= L'a' && c <= L'z') {
            c = static_cast<wchar_t>(c - L'a' + L'A');
        }
    }
    return text;
}

// " Error: <hex>" and the system's text for the code, as an entry ends.
std::wstring ErrorSuffix(const wchar_t* hex, HRESULT code)
{
    const std::wstring message = SystemMessage(code);
    return std::wstring(L" Error: ") + hex + (message.empty() ? L"" : L" " + message);
}

// Stores the characters of `text` as the default value, without a terminator.
void SetUnterminated(HKEY root, const std::string& path, DWORD type, const std::wstring& text)
{
    CreateKeyPath(root, path);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | KEY_WRITE, &key));
    // The registry adds a terminator to string data when the character just
    // past it is zero; a non-zero one there keeps the value as given.
    const std::wstring stored = text + L'#';
    const DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key, nullptr, 0, type, reinterpret_cast<const BYTE*>(stored.data()),
                             size));
    DWORD storedSize = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, nullptr, nullptr, nullptr, nullptr, &storedSize));
    EXPECT_EQ(size, storedSize);
    RegCloseKey(key);
}

// A version block whose root value has `valueLength` bytes; from 52 bytes on
// it starts with a well-formed fixed file information for 10.2.0.1537, so
// that only the length tells it apart.
std::vector<BYTE> VersionBlock(WORD valueLength)
{
    const wchar_t key[] = L"VS_VERSION_INFO";
    const size_t valueOffset = 40; // 3 words, 16 key characters, padded to 4 bytes
    std::vector<BYTE> block(valueOffset + valueLength, 0);
    const WORD header[3] = {static_cast<WORD>(block.size()), valueLength, 0};
    std::memcpy(block.data(), header, sizeof(header));
    std::memcpy(block.data() + sizeof(header), key, sizeof(key));
    if (valueLength >= sizeof(VS_FIXEDFILEINFO)) {
        VS_FIXEDFILEINFO info = {};
        info.dwSignature = VS_FFI_SIGNATURE;
        info.dwStrucVersion = VS_FFI_STRUCVERSION;
        info.dwFileVersionMS = MAKELONG(2, 10);
        info.dwFileVersionLS = MAKELONG(1537, 0);
        std::memcpy(block.data() + valueOffset, &info, sizeof(info));
    }
    return block;
}

// Files the tests register, in a directory of their own that goes away with
// the object.
class ScratchFiles {
public:
    ScratchFiles()
    {
        static volatile LONG sequence = 0;
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        root_ = std::wstring(temp) + L"triveld-viewer-" + std::to_wstring(GetCurrentProcessId()) +
                L"-" + std::to_wstring(InterlockedIncrement(&sequence));
        MakeDirectory(root_);
    }

    ~ScratchFiles()
    {
        for (auto it = created_.rbegin(); it != created_.rend(); ++it) {
            if (!DeleteFileW(it->c_str())) {
                RemoveDirectoryW(it->c_str());
            }
        }
        RemoveDirectoryW(root_.c_str());
    }

    ScratchFiles(const ScratchFiles&) = delete;
    ScratchFiles& operator=(const ScratchFiles&) = delete;

    const std::wstring& Root() const { return root_; }

    std::wstring MakeDirectory(const std::wstring& relative)
    {
        const std::wstring path = relative == root_ ? root_ : root_ + L"\\" + relative;
        EXPECT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << GetLastError();
        if (path != root_) {
            created_.push_back(path);
        }
        return path;
    }

    std::wstring Copy(const wchar_t* source, const std::wstring& relative)
    {
        const std::wstring path = root_ + L"\\" + relative;
        EXPECT_TRUE(CopyFileW(source, path.c_str(), TRUE)) << GetLastError();
        created_.push_back(path);
        return path;
    }

private:
    std::wstring root_;
    std::vector<std::wstring> created_;
};

// Stands in for reading the version block and allocating the text.
class VersionCallsOverride {
public:
    VersionCallsOverride() : saved_(ActivePlatformCalls()) {}
    ~VersionCallsOverride() { ActivePlatformCalls() = saved_; }
    VersionCallsOverride(const VersionCallsOverride&) = delete;
    VersionCallsOverride& operator=(const VersionCallsOverride&) = delete;

    // The block is read in full, yet the call reports failure with `error`.
    void ReadFails(DWORD error)
    {
        readError = error;
        ActivePlatformCalls().getFileVersionInfoW = &FailingRead;
    }
    void TextAllocationFails() { ActivePlatformCalls().sysAllocString = &NoString; }

private:
    static BOOL WINAPI FailingRead(LPCWSTR file, DWORD handle, DWORD size, LPVOID block)
    {
        GetFileVersionInfoW(file, handle, size, block);
        SetLastError(readError);
        return FALSE;
    }
    static BSTR WINAPI NoString(const OLECHAR*) { return nullptr; }

    static DWORD readError;
    PlatformCalls saved_;
};

DWORD VersionCallsOverride::readError = 0;

class ViewerDetection : public testing::Test {
protected:
    ViewerDetection() { object_ = NewWorkstationInfo(); }
    ~ViewerDetection() override { object_->Release(); }

    HKEY Classes() const { return registry_.ClassesRoot(); }
    HKEY Machine() const { return registry_.MachineRoot(); }

    void RegisterFirst(const std::wstring& value, DWORD type = REG_SZ)
    {
        SetWideString(Classes(), kFirstServer, nullptr, value, type);
    }
    void RegisterSecond(const std::wstring& value)
    {
        SetWideString(Classes(), kSecondServer, nullptr, value);
    }

    // Runs get_ViewerType and checks its one Information entry.
    void ExpectViewerType(LONG expectedType, const std::wstring& loggedPath)
    {
        recorder_.Clear();
        LONG type = 77;
        EXPECT_EQ(S_OK, object_->get_ViewerType(&type));
        EXPECT_EQ(expectedType, type);
        ExpectOnlyEntry(kInformationType,
                        L"Call to CWorkstationInfo::get_ViewerType returned '" +
                            std::to_wstring(expectedType) + L"' for " + loggedPath);
    }

    void ExpectOnlyEntry(WORD type, const std::wstring& text)
    {
        const std::vector<RecordedEvent> events = recorder_.Events();
        ASSERT_EQ(1u, events.size());
        EXPECT_EQ(type, events[0].type);
        EXPECT_EQ(L"Triveld", events[0].source);
        EXPECT_EQ(Composed(text), events[0].text);
    }

    void ExpectNoEntry() { EXPECT_TRUE(recorder_.Events().empty()); }

    ScratchRegistry registry_;
    EventRecorder recorder_;
    ScratchFiles files_;
    CWorkstationInfo* object_ = nullptr;
};

// --- ViewerType and ViewerVersion: finding the server executable ---

TEST_F(ViewerDetection, MissingClassRegistrationsKeyFailsBothMembers)
{
    const std::wstring entry = L"Call to CWorkstationInfo::get_ViewerType failed to open CLSID key" +
                               ErrorSuffix(L"0x80070002", 0x80070002);
    LONG type = 77;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), object_->get_ViewerType(&type));
    EXPECT_EQ(0, type);
    ExpectOnlyEntry(kErrorType, entry);

    recorder_.Clear();
    Bstr stale(L"stale");
    BSTR version = stale.Get();
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), object_->get_ViewerVersion(&version));
    EXPECT_EQ(nullptr, version);
    ExpectOnlyEntry(kErrorType, entry);
}

TEST_F(ViewerDetection, NothingRegistered)
{
    CreateKeyPath(Classes(), "CLSID");
    ExpectViewerType(0, L"");

    recorder_.Clear();
    Bstr version;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_BAD_PATHNAME), object_->get_ViewerVersion(version.Out()));
    EXPECT_EQ(nullptr, version.Get());
    ExpectNoEntry();
}

TEST_F(ViewerDetection, QuotedPathWithSpacesIsUnquoted)
{
    files_.MakeDirectory(L"Velmar Viewer");
    const std::wstring viewer = files_.Copy(VIEWER_VERSIONED_PATH, L"Velmar Viewer\\Velmar D.exe");
    RegisterFirst(L"\"" + viewer + L"\"");
    ExpectViewerType(1, viewer);
}

TEST_F(ViewerDetection, SameExecutableUnderBothClassesIsTheLiteEdition)
{
    files_.MakeDirectory(L"Velmar Viewer");
    // Every letter, in one case here and in the other below.
    const std::wstring viewer =
        files_.Copy(VIEWER_VERSIONED_PATH, L"Velmar Viewer\\abcdefghijklmnopqrstuvwxyz.exe");
    RegisterFirst(L"\"" + viewer + L"\"");
    RegisterSecond(AsciiUpper(viewer));
    ExpectViewerType(2, viewer);
}

TEST_F(ViewerDetection, DifferentExecutablesAreTheFullEdition)
{
    // The first path is a prefix of the second.
    const std::wstring first = files_.Copy(VIEWER_VERSIONED_PATH, L"viewer.exe");
    const std::wstring second = files_.Copy(VIEWER_VERSIONED_PATH, L"viewer.exe.exe");
    RegisterFirst(first);
    RegisterSecond(second);
    ExpectViewerType(1, first);

    // A second registration whose file is gone compares as no path at all.
    ASSERT_TRUE(DeleteFileW(second.c_str()));
    RegisterSecond(second);
    ExpectViewerType(1, first);
}

TEST_F(ViewerDetection, OnlyTheSecondClassRegisteredIsNoViewer)
{
    const std::wstring viewer = files_.Copy(VIEWER_VERSIONED_PATH, L"lite.exe");
    RegisterSecond(viewer);
    ExpectViewerType(0, L"");
}

TEST_F(ViewerDetection, DeletedExecutableIsNoViewer)
{
    const std::wstring viewer = files_.Copy(VIEWER_VERSIONED_PATH, L"gone.exe");
    RegisterFirst(viewer);
    RegisterSecond(viewer);
    ExpectViewerType(2, viewer);
    ASSERT_TRUE(DeleteFileW(viewer.c_str()));
    ExpectViewerType(0, L"");
}

TEST_F(ViewerDetection, ValuesTakenLiterallyThatNameNoFile)
{
    // A switch after the quoted path: the text does not end with a quote.
    RegisterFirst(L"\"" + std::wstring(VIEWER_VERSIONED_PATH) + L"\" /automation");
    ExpectViewerType(0, L"");

    // Not expanded, although the expanded path exists.
    wchar_t expanded[MAX_PATH] = {};
    ExpandEnvironmentStringsW(L"%SystemRoot%\\system32\\notepad.exe", expanded, MAX_PATH);
    ASSERT_TRUE(FileExists(expanded));
    RegisterFirst(L"%SystemRoot%\\system32\\notepad.exe", REG_EXPAND_SZ);
    ExpectViewerType(0, L"");

    // Quotes only at one end are left alone.
    RegisterFirst(L"\"" + std::wstring(VIEWER_VERSIONED_PATH));
    ExpectViewerType(0, L"");
}

TEST_F(ViewerDetection, ValueWithoutRoomForItsTerminatorIsNotFound)
{
    // An existing file whose path is 259 characters long: a reader that cut
    // the value at the buffer's end would find it.
    const size_t fixed = files_.Root().size() + std::wcslen(L"\\") + std::wcslen(L"\\viewer.exe");
    ASSERT_LT(fixed, 258u);
    const std::wstring directory(259 - fixed, L'd');
    files_.MakeDirectory(directory);
    const std::wstring viewer = files_.Copy(VIEWER_VERSIONED_PATH, directory + L"\\viewer.exe");
    ASSERT_EQ(259u, viewer.size());
    ASSERT_TRUE(FileExists(viewer));

    RegisterFirst(viewer);
    ExpectViewerType(1, viewer);
    // Stored without a terminator, 259 characters still leave room for one.
    SetUnterminated(Classes(), kFirstServer, REG_SZ, viewer);
    ExpectViewerType(1, viewer);

    // 260 characters, no terminator: the whole buffer, no text end within it.
    SetUnterminated(Classes(), kFirstServer, REG_SZ, viewer + L"x");
    ExpectViewerType(0, L"");

    // Longer than the buffer.
    RegisterFirst(viewer + L" /with /more /switches");
    ExpectViewerType(0, L"");
}

TEST_F(ViewerDetection, RegistrationWithoutServerValueIsNotFound)
{
    CreateKeyPath(Classes(), kFirstServer);
    ExpectViewerType(0, L"");
    RegisterFirst(L"");
    ExpectViewerType(0, L"");
}

// --- ViewerVersion: the executable's file version ---

TEST_F(ViewerDetection, FileVersionOfTheFirstClassesExecutable)
{
    const std::wstring viewer = VIEWER_VERSIONED_PATH;
    RegisterFirst(viewer);
    RegisterSecond(VIEWER_UNVERSIONED_PATH);
    Bstr version;
    EXPECT_EQ(S_OK, object_->get_ViewerVersion(version.Out()));
    EXPECT_EQ(L"10.2.0.1537", version.Text());
    ExpectOnlyEntry(kInformationType, L"Call to CWorkstationInfo::GetViewerVersion returned "
                                      L"'10.2.0.1537' for '" + viewer + L"'");
}

TEST_F(ViewerDetection, ExecutableWithoutVersionResource)
{
    RegisterFirst(VIEWER_UNVERSIONED_PATH);
    Bstr version;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_RESOURCE_DATA_NOT_FOUND),
              object_->get_ViewerVersion(version.Out()));
    EXPECT_EQ(nullptr, version.Get());
    ExpectNoEntry();
}

TEST_F(ViewerDetection, VersionRootOfAnotherSizeGivesNoText)
{
    const std::wstring viewer = files_.Copy(VIEWER_UNVERSIONED_PATH, L"odd root.exe");
    for (WORD valueLength : {WORD{56}, WORD{48}, WORD{0}}) {
        SCOPED_TRACE(valueLength);
        const std::vector<BYTE> block = VersionBlock(valueLength);
        HANDLE update = BeginUpdateResourceW(viewer.c_str(), TRUE);
        ASSERT_NE(nullptr, update) << GetLastError();
        ASSERT_TRUE(UpdateResourceW(update, RT_VERSION, MAKEINTRESOURCEW(VS_VERSION_INFO),
                                    MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                    const_cast<BYTE*>(block.data()),
                                    static_cast<DWORD>(block.size())));
        ASSERT_TRUE(EndUpdateResourceW(update, FALSE)) << GetLastError();

        RegisterFirst(viewer);
        recorder_.Clear();
        Bstr version;
        EXPECT_EQ(S_OK, object_->get_ViewerVersion(version.Out()));
        EXPECT_EQ(nullptr, version.Get());
        ExpectOnlyEntry(kInformationType, L"Call to CWorkstationInfo::GetViewerVersion returned "
                                          L"'(null)' for '" + viewer + L"'");
    }

    // The same block with a root of exactly 52 bytes is read.
    const std::vector<BYTE> block = VersionBlock(sizeof(VS_FIXEDFILEINFO));
    HANDLE update = BeginUpdateResourceW(viewer.c_str(), TRUE);
    ASSERT_NE(nullptr, update);
    ASSERT_TRUE(UpdateResourceW(update, RT_VERSION, MAKEINTRESOURCEW(VS_VERSION_INFO),
                                MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                const_cast<BYTE*>(block.data()), static_cast<DWORD>(block.size())));
    ASSERT_TRUE(EndUpdateResourceW(update, FALSE));
    Bstr version;
    EXPECT_EQ(S_OK, object_->get_ViewerVersion(version.Out()));
    EXPECT_EQ(L"10.2.0.1537", version.Text());
}

TEST_F(ViewerDetection, VersionReadFailureIsReportedWithItsCode)
{
    const std::wstring viewer = VIEWER_VERSIONED_PATH;
    RegisterFirst(viewer);
    VersionCallsOverride calls;
    calls.ReadFails(ERROR_ACCESS_DENIED);
    Bstr version;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), object_->get_ViewerVersion(version.Out()));
    EXPECT_EQ(nullptr, version.Get());
    ExpectOnlyEntry(kInformationType,
                    L"Call to CWorkstationInfo::GetViewerVersion returned '(null)' for '" + viewer +
                        L"'" + ErrorSuffix(L"0x80070005", 0x80070005));

    // A failed read without an error code is still a failure, and the block
    // that was not read is never queried.
    recorder_.Clear();
    calls.ReadFails(ERROR_SUCCESS);
    EXPECT_EQ(E_FAIL, object_->get_ViewerVersion(version.Out()));
    EXPECT_EQ(nullptr, version.Get());
    ExpectOnlyEntry(kInformationType,
                    L"Call to CWorkstationInfo::GetViewerVersion returned '(null)' for '" + viewer +
                        L"'" + ErrorSuffix(L"0x80004005", 0x80004005));
}

TEST_F(ViewerDetection, OutOfMemory)
{
    const std::wstring viewer = VIEWER_VERSIONED_PATH;
    RegisterFirst(viewer);

    // The version block: nothing read, nothing logged.
    Bstr version;
    failNextArrayAllocation = true;
    EXPECT_EQ(E_OUTOFMEMORY, object_->get_ViewerVersion(version.Out()));
    EXPECT_FALSE(failNextArrayAllocation);
    EXPECT_EQ(nullptr, version.Get());
    ExpectNoEntry();

    // The text.
    VersionCallsOverride calls;
    calls.TextAllocationFails();
    EXPECT_EQ(E_OUTOFMEMORY, object_->get_ViewerVersion(version.Out()));
    EXPECT_EQ(nullptr, version.Get());
    ExpectOnlyEntry(kInformationType,
                    L"Call to CWorkstationInfo::GetViewerVersion returned '(null)' for '" + viewer +
                        L"'" + ErrorSuffix(L"0x8007000e", E_OUTOFMEMORY));
}

// --- GetLastClientInstallStatus ---

class InstallStatus : public ViewerDetection {
protected:
    void ExpectStatus(LONG viewerType, LONG expected)
    {
        recorder_.Clear();
        LONG status = 77;
        EXPECT_EQ(S_OK, object_->GetLastClientInstallStatus(viewerType, &status));
        EXPECT_EQ(expected, status);
        ExpectOnlyEntry(kInformationType, L"GetLastClientInstallStatus for viewer type " +
                                              std::to_wstring(viewerType) +
                                              L" succeeded with status " +
                                              std::to_wstring(expected));
    }

    void ExpectFailure(LONG viewerType, HRESULT expected, const wchar_t* hex)
    {
        recorder_.Clear();
        LONG status = 77;
        EXPECT_EQ(expected, object_->GetLastClientInstallStatus(viewerType, &status));
        EXPECT_EQ(-1, status);
        ExpectOnlyEntry(kErrorType, L"GetLastClientInstallStatus failed for viewer type " +
                                        std::to_wstring(viewerType) + ErrorSuffix(hex, expected));
    }
};

TEST_F(InstallStatus, TypeNotPositiveIsRefusedSilently)
{
    SetDword(Machine(), kDistributedKey, "LastInstallStatus", 5);
    for (LONG viewerType : {0L, -5L}) {
        LONG status = 77;
        EXPECT_EQ(E_INVALIDARG, object_->GetLastClientInstallStatus(viewerType, &status));
        EXPECT_EQ(-1, status);
    }
    ExpectNoEntry();
}

TEST_F(InstallStatus, EditionChoosesTheKey)
{
    SetDword(Machine(), kDistributedKey, "LastInstallStatus", 11);
    SetDword(Machine(), kLiteKey, "LastInstallStatus", 22);
    ExpectStatus(1, 11);
    ExpectStatus(2, 22);
    ExpectStatus(3, 22);
}

TEST_F(InstallStatus, TopBitSetIsANegativeStatus)
{
    SetDword(Machine(), kDistributedKey, "LastInstallStatus", 0x80000005);
    ExpectStatus(1, -2147483643L);
}

TEST_F(InstallStatus, ValueOfAnotherTypeOrSize)
{
    const DWORD four = 7;
    SetRaw(Machine(), kDistributedKey, "LastInstallStatus", REG_BINARY, &four, sizeof(four));
    ExpectFailure(1, HRESULT_FROM_WIN32(ERROR_INVALID_DATA), L"0x8007000d");
    SetString(Machine(), kLiteKey, "LastInstallStatus", "abcde");
    ExpectFailure(2, HRESULT_FROM_WIN32(ERROR_MORE_DATA), L"0x800700ea");
}

TEST_F(InstallStatus, MissingKeyOrValue)
{
    ExpectFailure(1, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), L"0x80070002");
    SetDword(Machine(), kLiteKey, "OtherValue", 1);
    ExpectFailure(4, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), L"0x80070002");
}

} // namespace
