// DllRegisterServer and DllUnregisterServer of the built DLL against the real
// HKEY_CLASSES_ROOT of a prefix of this program's own: the category manager
// and the automation runtime bypass registry overrides, so nothing here is
// redirected.
#include <windows.h>

#include <comcat.h>
#include <oleauto.h>

#include <set>
#include <string>

#include <gtest/gtest.h>

#include "frame/server_module.h"
#include "registration/module_type_library.h"
#include "registration/registration_script.h"
#include "registration/script_resource.h"
#include "registration/registrar.h"
#include "resources/resource_ids.h"
#include "tests/support/heap_census.h"
#include "tests/support/process_kind.h"
#include "tests/support/registry_snapshot.h"
#include "tests/support/scratch_registry.h"
#include "triveld.h"

namespace {

const std::string kClassKey = "CLSID\\{5B1E0C42-7A93-4D61-9E2F-3C8A0D4B7E15}";
const std::string kAppIdKey = "AppID\\{C7E3A915-4B2D-4E8F-A06C-9D1F3B5E2A48}";
const std::string kTypeLibKey = "TypeLib\\{A4D2F6B8-1C3E-4F57-8B9D-2E6A0C5F1B73}";
const char kAppIdText[] = "{C7E3A915-4B2D-4E8F-A06C-9D1F3B5E2A48}";
const char kClassText[] = "{5B1E0C42-7A93-4D61-9E2F-3C8A0D4B7E15}";
const char kProgIds[][32] = {"Triveld.OrvWorkstationInfo.3", "Triveld.OrvWorkstationInfo.2",
                             "Triveld.OrvWorkstationInfo"};

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

// The default (or named) string value of an HKCR key; "<absent>" when missing.
std::string ClassesString(const std::string& path, const char* name = nullptr)
{
    DWORD type = 0;
    std::string bytes;
    if (!ReadRaw(HKEY_CLASSES_ROOT, path, name, &type, &bytes)) {
        return "<absent>";
    }
    if (type != REG_SZ) {
        return "<type " + std::to_string(type) + ">";
    }
    if (!bytes.empty() && bytes.back() == '\0') {
        bytes.pop_back();
    }
    return bytes;
}

bool ClassesKeyExists(const std::string& path)
{
    return KeyExists(HKEY_CLASSES_ROOT, path);
}

std::wstring BuildPath(const wchar_t* relative)
{
    return std::wstring(TRIVELD_BUILD_DIR) + L"\\" + relative;
}

// Creates every missing directory of `path`.
void CreateDirectories(const std::wstring& path)
{
    for (std::size_t at = path.find(L'\\', 3); at != std::wstring::npos;
         at = path.find(L'\\', at + 1)) {
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    }
    CreateDirectoryW(path.c_str(), nullptr);
}

// A copy of the built DLL at `path`, loaded with its registration exports.
class DllCopy {
public:
    using Export = HRESULT(STDAPICALLTYPE*)();

    // `source` is copied to `path` unless they are the same.
    explicit DllCopy(const std::wstring& path, const wchar_t* source = TRIVELD_DLL_PATH)
        : path_(path), copied_(path != source)
    {
        CreateDirectories(path.substr(0, path.rfind(L'\\')));
        if (copied_ && !CopyFileW(source, path.c_str(), FALSE)) {
            ADD_FAILURE() << "CopyFileW failed with " << GetLastError();
            return;
        }
        module_ = LoadLibraryW(path.c_str());
        if (module_ == nullptr) {
            ADD_FAILURE() << "LoadLibraryW failed with " << GetLastError();
            return;
        }
        register_ = reinterpret_cast<Export>(
            reinterpret_cast<void (*)()>(GetProcAddress(module_, "DllRegisterServer")));
        unregister_ = reinterpret_cast<Export>(
            reinterpret_cast<void (*)()>(GetProcAddress(module_, "DllUnregisterServer")));
        EXPECT_NE(nullptr, register_);
        EXPECT_NE(nullptr, unregister_);
    }
    ~DllCopy()
    {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
        if (copied_) {
            DeleteFileW(path_.c_str());
        }
    }
    DllCopy(const DllCopy&) = delete;
    DllCopy& operator=(const DllCopy&) = delete;

    HRESULT Register() const { return register_ != nullptr ? register_() : E_UNEXPECTED; }
    HRESULT Unregister() const { return unregister_ != nullptr ? unregister_() : E_UNEXPECTED; }
    HMODULE Module() const { return module_; }
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
    bool copied_;
    HMODULE module_ = nullptr;
    Export register_ = nullptr;
    Export unregister_ = nullptr;
};

// Writes a copy of the built DLL to `path` whose class script is `script`.
bool WriteDllWithClassScript(const std::wstring& path, const std::string& script)
{
    CreateDirectories(path.substr(0, path.rfind(L'\\')));
    if (!CopyFileW(TRIVELD_DLL_PATH, path.c_str(), FALSE)) {
        return false;
    }
    HANDLE update = BeginUpdateResourceW(path.c_str(), FALSE);
    if (update == nullptr) {
        return false;
    }
    const BOOL replaced =
        UpdateResourceW(update, L"REGISTRY", MAKEINTRESOURCEW(IDR_ORV_WORKSTATION_INFO_SCRIPT),
                        MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                        const_cast<char*>(script.data()), static_cast<DWORD>(script.size()));
    return EndUpdateResourceW(update, !replaced) && replaced;
}

// Runs a program of the prefix to its end; its exit code, or -1.
int RunProgram(const std::wstring& commandLine)
{
    std::wstring line = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return -1;
    }
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = static_cast<DWORD>(-1);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

int Regsvr32(const wchar_t* options)
{
    return RunProgram(std::wstring(L"regsvr32.exe ") + options + L" \"" + TRIVELD_DLL_PATH +
                      L"\"");
}

void ExpectClassRegisteredAt(const std::string& modulePath)
{
    EXPECT_EQ("Triveld", ClassesString(kAppIdKey));
    EXPECT_EQ(kAppIdText, ClassesString("AppID\\Triveld.DLL", "AppID"));
    for (const char* progId : kProgIds) {
        EXPECT_EQ("OrvWorkstationInfo Class", ClassesString(progId)) << progId;
        EXPECT_EQ(kClassText, ClassesString(std::string(progId) + "\\CLSID")) << progId;
    }
    EXPECT_EQ("Triveld.OrvWorkstationInfo.3",
              ClassesString("Triveld.OrvWorkstationInfo\\CurVer"));
    EXPECT_EQ("OrvWorkstationInfo Class", ClassesString(kClassKey));
    EXPECT_EQ("Triveld.OrvWorkstationInfo.3", ClassesString(kClassKey + "\\ProgID"));
    EXPECT_EQ("Triveld.OrvWorkstationInfo",
              ClassesString(kClassKey + "\\VersionIndependentProgID"));
    EXPECT_TRUE(ClassesKeyExists(kClassKey + "\\Programmable"));
    EXPECT_EQ(modulePath, ClassesString(kClassKey + "\\InprocServer32"));
    EXPECT_EQ("Both", ClassesString(kClassKey + "\\InprocServer32", "ThreadingModel"));
    EXPECT_EQ("{A4D2F6B8-1C3E-4F57-8B9D-2E6A0C5F1B73}", ClassesString(kClassKey + "\\TypeLib"));
    EXPECT_EQ(kAppIdText, ClassesString(kClassKey, "AppID"));
    EXPECT_TRUE(ClassesKeyExists(kClassKey +
                                 "\\Implemented Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}"));
    EXPECT_TRUE(ClassesKeyExists(kClassKey +
                                 "\\Implemented Categories\\{7DD95802-9882-11CF-9FA9-00AA006C42C4}"));
}

void ExpectNothingRegistered()
{
    EXPECT_FALSE(ClassesKeyExists(kClassKey));
    EXPECT_FALSE(ClassesKeyExists(kAppIdKey));
    EXPECT_FALSE(ClassesKeyExists("AppID\\Triveld.DLL"));
    for (const char* progId : kProgIds) {
        EXPECT_FALSE(ClassesKeyExists(progId)) << progId;
    }
    EXPECT_FALSE(ClassesKeyExists(kTypeLibKey + "\\2.0"));
    EXPECT_TRUE(ClassesKeyExists("CLSID"));
    EXPECT_TRUE(ClassesKeyExists("AppID"));
}

class RegistrationDriver : public testing::Test {
protected:
    static void SetUpTestSuite() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    static void TearDownTestSuite() { CoUninitialize(); }
    // Every test starts and ends with nothing registered.
    void SetUp() override
    {
        SuspendLeakCheck(false);
        ExpectNothingRegistered();
    }
};

TEST_F(RegistrationDriver, Regsvr32RegistersAndCoCreateInstanceByProgIdWorks)
{
    // The COM runtime keeps the DLL it loaded, with the DLL's own allocations.
    SuspendLeakCheck(true);
    ASSERT_EQ(0, Regsvr32(L"/s"));
    ExpectClassRegisteredAt(Narrow(TRIVELD_DLL_PATH));
    EXPECT_EQ(Narrow(TRIVELD_DLL_PATH), ClassesString(kTypeLibKey + "\\2.0\\0\\" + kTypeLibPlatform));
    EXPECT_EQ("Triveld 2.0 Type Library", ClassesString(kTypeLibKey + "\\2.0"));
    const std::wstring dll = TRIVELD_DLL_PATH;
    EXPECT_EQ(Narrow(dll.substr(0, dll.rfind(L'\\') + 1)),
              ClassesString(kTypeLibKey + "\\2.0\\HELPDIR"));

    CLSID classId = {};
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"Triveld.OrvWorkstationInfo", &classId));
    EXPECT_TRUE(IsEqualCLSID(CLSID_OrvWorkstationInfo, classId));
    IDispatch* info = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                     reinterpret_cast<void**>(&info)));
    OLECHAR* name = const_cast<OLECHAR*>(L"NetVersion");
    DISPID id = 0;
    EXPECT_EQ(S_OK, info->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id));
    EXPECT_EQ(4, id);
    info->Release();
    CoFreeUnusedLibraries();

    // A second registration rebuilds the class key and repeats the rest.
    ASSERT_EQ(0, Regsvr32(L"/s"));
    ExpectClassRegisteredAt(Narrow(TRIVELD_DLL_PATH));

    ASSERT_EQ(0, Regsvr32(L"/s /u"));
    ExpectNothingRegistered();
}

// Register + unregister leaves the classes root as it was. The one thing the
// platform may keep is its own: a category manager that records category
// descriptions under "Component Categories" leaves them (Wine's writes none,
// and the type library's Interface and TypeLib keys go with UnRegisterTypeLib).
TEST_F(RegistrationDriver, RegisterThenUnregisterRestoresTheClassesRoot)
{
    const std::set<std::string> before = SnapshotTree(HKEY_CLASSES_ROOT);
    {
        DllCopy dll(TRIVELD_DLL_PATH);
        ASSERT_EQ(S_OK, dll.Register());
        ASSERT_EQ(S_OK, dll.Unregister());
    }
    std::set<std::string> after = SnapshotTree(HKEY_CLASSES_ROOT);
    for (auto line = after.begin(); line != after.end();) {
        line = line->rfind("Component Categories\\", 0) == 0 && before.count(*line) == 0
                   ? after.erase(line)
                   : std::next(line);
    }
    EXPECT_EQ(before, after) << DescribeDifference(before, after);
}

TEST_F(RegistrationDriver, SingleQuoteInThePathReachesInprocServer32Unchanged)
{
    DllCopy dll(BuildPath(L"registration-copies\\O'Brien's\\Triveld.dll"));
    ASSERT_EQ(S_OK, dll.Register());
    ExpectClassRegisteredAt(Narrow(dll.Path()));
    EXPECT_EQ(Narrow(dll.Path()), ClassesString(kTypeLibKey + "\\2.0\\0\\" + kTypeLibPlatform));
    EXPECT_EQ(S_OK, dll.Unregister());
}

TEST_F(RegistrationDriver, UnregisterSkipsMissingScriptKeys)
{
    DllCopy dll(TRIVELD_DLL_PATH);
    ASSERT_EQ(S_OK, dll.Register());
    // Someone removed the ProgIDs and the AppID by hand.
    for (const char* progId : kProgIds) {
        ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeA(HKEY_CLASSES_ROOT, progId));
    }
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeA(HKEY_CLASSES_ROOT, kAppIdKey.c_str()));
    EXPECT_EQ(S_OK, dll.Unregister());
}

// The type library step fails without a registration to remove, and the
// AppID script does not run after it.
TEST_F(RegistrationDriver, UnregisterStopsAtTheTypeLibraryBeforeTheAppIdScript)
{
    DllCopy dll(TRIVELD_DLL_PATH);
    ASSERT_EQ(S_OK, dll.Register());
    ASSERT_EQ(S_OK, UnRegisterTypeLib(LIBID_TriveldLib, 2, 0, LOCALE_NEUTRAL, kTypeLibSysKind));
    const HRESULT result = dll.Unregister();
    EXPECT_TRUE(FAILED(result)) << std::hex << result;
    EXPECT_FALSE(ClassesKeyExists(kClassKey));
    EXPECT_EQ("Triveld", ClassesString(kAppIdKey));
    // Registering again and unregistering cleans up.
    ASSERT_EQ(S_OK, dll.Register());
    EXPECT_EQ(S_OK, dll.Unregister());
}

// The class's categories as the category manager records them.
void RegisterCategoriesByHand()
{
    ICatRegister* manager = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr,
                                     CLSCTX_INPROC_SERVER, IID_ICatRegister,
                                     reinterpret_cast<void**>(&manager)));
    // Safe for scripting, safe for initializing.
    CATID categories[] = {
        {0x7DD95801, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}},
        {0x7DD95802, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}}};
    EXPECT_EQ(S_OK, manager->RegisterClassImplCategories(CLSID_OrvWorkstationInfo, 2, categories));
    manager->Release();
}

// A path the 260-byte field cannot hold is refused, never registered cut.
// Unregistering removes the categories before the class script fails.
TEST_F(RegistrationDriver, LongModulePathsAreRefused)
{
    const std::wstring base = BuildPath(L"registration-copies\\");
    for (std::size_t length : {std::size_t(260), std::size_t(300)}) {
        std::wstring path = base;
        while (path.size() + 1 + 100 + 12 < length) {
            path += std::wstring(100, L'd') + L"\\";
        }
        path += std::wstring(length - path.size() - 12, L'e') + L"\\Triveld.dll";
        ASSERT_EQ(length, path.size());
        DllCopy dll(path);
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER), dll.Register()) << length;
        EXPECT_FALSE(ClassesKeyExists(kAppIdKey));
        RegisterCategoriesByHand();
        ASSERT_TRUE(ClassesKeyExists(kClassKey + "\\Implemented Categories"));
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER), dll.Unregister()) << length;
        EXPECT_FALSE(ClassesKeyExists(kClassKey + "\\Implemented Categories"));
        RegDeleteKeyA(HKEY_CLASSES_ROOT, kClassKey.c_str());
    }
}

// The longest path that fits registers in full.
TEST_F(RegistrationDriver, PathOf259CharactersRegisters)
{
    std::wstring path = BuildPath(L"registration-copies\\");
    path += std::wstring(100, L'f') + L"\\";
    path += std::wstring(259 - path.size() - 12, L'g') + L"\\Triveld.dll";
    ASSERT_EQ(259u, path.size());
    DllCopy dll(path);
    ASSERT_EQ(S_OK, dll.Register());
    ExpectClassRegisteredAt(Narrow(path));
    EXPECT_EQ(S_OK, dll.Unregister());
}

TEST_F(RegistrationDriver, TlbBesideTheDllServesWhenTheDllCarriesNoLibrary)
{
    const std::wstring dllPath = BuildPath(L"registration-copies\\nolib\\TriveldNoLib.dll");
    DllCopy dll(dllPath, TRIVELD_NO_LIB_DLL_PATH);
    ASSERT_NE(nullptr, dll.Module());
    BSTR loadedPath = nullptr;
    ITypeLib* library = nullptr;
    EXPECT_EQ(TYPE_E_CANTLOADLIBRARY, LoadModuleTypeLibrary(dll.Module(), &loadedPath, &library));
    EXPECT_EQ(nullptr, loadedPath);
    EXPECT_EQ(nullptr, library);
    // The scripts and categories ran before the library step failed; they stay.
    EXPECT_EQ(TYPE_E_CANTLOADLIBRARY, dll.Register());
    EXPECT_EQ(Narrow(dllPath), ClassesString(kClassKey + "\\InprocServer32"));

    const std::wstring tlbPath = BuildPath(L"registration-copies\\nolib\\TriveldNoLib.tlb");
    ASSERT_TRUE(CopyFileW(BuildPath(L"generated\\triveld.tlb").c_str(), tlbPath.c_str(), FALSE));
    ASSERT_EQ(S_OK, LoadModuleTypeLibrary(dll.Module(), &loadedPath, &library));
    EXPECT_EQ(tlbPath, loadedPath);
    SysFreeString(loadedPath);
    library->Release();
    ASSERT_EQ(S_OK, dll.Register());
    EXPECT_EQ(Narrow(tlbPath), ClassesString(kTypeLibKey + "\\2.0\\0\\" + kTypeLibPlatform));
    EXPECT_EQ(S_OK, dll.Unregister());
    DeleteFileW(tlbPath.c_str());
}

// A category that another product recorded for the class keeps its key, and
// the script's plain delete of the class key is refused because of it.
TEST_F(RegistrationDriver, ForeignCategoryKeepsTheClassKey)
{
    DllCopy dll(TRIVELD_DLL_PATH);
    ASSERT_EQ(S_OK, dll.Register());
    const std::string foreign =
        kClassKey + "\\Implemented Categories\\{0DE86A57-2BAA-11CF-A229-00AA003D7352}";
    CreateKeyPath(HKEY_CLASSES_ROOT, foreign);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), dll.Unregister());
    EXPECT_TRUE(ClassesKeyExists(foreign));
    EXPECT_FALSE(ClassesKeyExists(kClassKey +
                                  "\\Implemented Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}"));
    EXPECT_FALSE(ClassesKeyExists(kClassKey + "\\ProgID"));
    EXPECT_EQ("Triveld", ClassesString(kAppIdKey));
    // Without the foreign key the unregistration completes.
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeA(HKEY_CLASSES_ROOT, kClassKey.c_str()));
    ASSERT_EQ(S_OK, dll.Register());
    EXPECT_EQ(S_OK, dll.Unregister());
}

// A class script with a block right after a value entry, as a new author
// might write it. Both exports refuse it as a script error; neither the
// register pass's undo nor the unregister pass removes the key that existed
// before and that the script does not name at that level.
TEST_F(RegistrationDriver, BlockAfterAValueEntryRemovesNoKeyTheScriptDoesNotName)
{
    const std::wstring source = BuildPath(L"registration-copies\\block\\source.dll");
    ASSERT_TRUE(WriteDllWithClassScript(
        source, "HKCR { NoRemove TrvHold { val V = s 'x' { Victim } } }"));
    CreateKeyPath(HKEY_CLASSES_ROOT, "TrvHold\\Victim");
    {
        DllCopy dll(BuildPath(L"registration-copies\\block\\Triveld.dll"), source.c_str());
        EXPECT_EQ(DISP_E_EXCEPTION, dll.Register());
        EXPECT_TRUE(ClassesKeyExists("TrvHold\\Victim"));
        // Again, so that the unregistration is judged on its own.
        CreateKeyPath(HKEY_CLASSES_ROOT, "TrvHold\\Victim");
        EXPECT_EQ(DISP_E_EXCEPTION, dll.Unregister());
        EXPECT_TRUE(ClassesKeyExists("TrvHold\\Victim"));
    }
    DeleteFileW(source.c_str());
    // The AppID script ran before the class script failed; the unregistration
    // stopped before it.
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeA(HKEY_CLASSES_ROOT, "TrvHold"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeA(HKEY_CLASSES_ROOT, kAppIdKey.c_str()));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeA(HKEY_CLASSES_ROOT, "AppID\\Triveld.DLL"));
    ExpectNothingRegistered();
}

// Run from an executable, the scripts receive its path in double quotes:
// the path of a host program may hold blanks.
TEST_F(RegistrationDriver, ExecutableModulePathIsQuoted)
{
    wchar_t exe[MAX_PATH];
    ASSERT_NE(0u, GetModuleFileNameW(nullptr, exe, MAX_PATH));
    ASSERT_EQ(S_OK, ApplyAppIdScript(true));
    ASSERT_EQ(S_OK, ApplyRegistrationScript(GetServerModule(), IDR_ORV_WORKSTATION_INFO_SCRIPT,
                                            true, nullptr));
    EXPECT_EQ("\"" + Narrow(exe) + "\"", ClassesString(kClassKey + "\\InprocServer32"));
    EXPECT_EQ("Triveld", ClassesString(kAppIdKey));
    EXPECT_EQ(S_OK, ApplyRegistrationScript(GetServerModule(), IDR_ORV_WORKSTATION_INFO_SCRIPT,
                                            false, nullptr));
    EXPECT_EQ(S_OK, ApplyAppIdScript(false));
}

TEST(RegistrationPieces, LoadModuleTypeLibraryNeedsBothPlaces)
{
    BSTR path = reinterpret_cast<BSTR>(1);
    ITypeLib* library = nullptr;
    EXPECT_EQ(E_POINTER, LoadModuleTypeLibrary(nullptr, nullptr, &library));
    EXPECT_EQ(E_POINTER, LoadModuleTypeLibrary(nullptr, &path, nullptr));
}

TEST(RegistrationPieces, DoubleSingleQuotes)
{
    wchar_t doubled[kDoubledPathCapacity];
    DoubleSingleQuotes(L"C:\\O'Brien\\''\\a.dll", doubled);
    EXPECT_STREQ(L"C:\\O''Brien\\''''\\a.dll", doubled);
    // A path of only quotes still fits the field.
    const std::wstring quotes(MAX_PATH - 1, L'\'');
    DoubleSingleQuotes(quotes.c_str(), doubled);
    EXPECT_EQ(std::wstring(2 * (MAX_PATH - 1), L'\''), doubled);
}

// The lookup's own error comes back for a missing resource or module.
TEST(RegistrationPieces, ScriptResourceErrors)
{
    Registrar registrar;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND),
              RunScriptResource(registrar, TRIVELD_DLL_PATH, 999, L"REGISTRY", true));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
              RunScriptResource(registrar, L"Z:\\no\\such\\module.dll", IDR_APPID_SCRIPT,
                                L"REGISTRY", true));
    EXPECT_EQ(E_OUTOFMEMORY,
              RunScriptResource(registrar, nullptr, IDR_APPID_SCRIPT, L"REGISTRY", true));
}

} // namespace
