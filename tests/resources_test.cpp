// The registration scripts and version information carried by the DLL.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "resources/resource_ids.h"

namespace {

class DataModule {
public:
    explicit DataModule(const wchar_t* path)
        : module_(LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE))
    {
    }
    ~DataModule()
    {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }
    HMODULE Get() const { return module_; }

    // Resource bytes, or "<missing>".
    std::string Resource(const wchar_t* type, int id) const
    {
        HRSRC found = FindResourceExW(module_, type, MAKEINTRESOURCEW(id),
                                      MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
        if (found == nullptr) {
            return "<missing>";
        }
        HGLOBAL loaded = LoadResource(module_, found);
        const char* bytes = static_cast<const char*>(LockResource(loaded));
        return std::string(bytes, SizeofResource(module_, found));
    }

private:
    HMODULE module_;
};

std::string Lines(std::initializer_list<std::string> lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

TEST(RegistrationScripts, AppIdScriptIsByteExact)
{
    DataModule dll(TRIVELD_DLL_PATH);
    ASSERT_NE(nullptr, dll.Get());
    EXPECT_EQ(Lines({"HKCR", "{", "\tNoRemove AppID", "\t{", "\t\t'%APPID%' = s 'Triveld'",
                     "\t\t'Triveld.DLL'", "\t\t{", "\t\t\tval AppID = s '%APPID%'", "\t\t}", "\t}",
                     "}"}),
              dll.Resource(L"REGISTRY", IDR_APPID_SCRIPT));
}

TEST(RegistrationScripts, ClassScriptIsByteExact)
{
    DataModule dll(TRIVELD_DLL_PATH);
    ASSERT_NE(nullptr, dll.Get());
    const std::string clsid = "{5B1E0C42-7A93-4D61-9E2F-3C8A0D4B7E15}";
    EXPECT_EQ(
        Lines({"HKCR",
               "{",
               "\tTriveld.OrvWorkstationInfo.3 = s 'OrvWorkstationInfo Class'",
               "\t{",
               "\t\tCLSID = s '" + clsid + "'",
               "\t}",
               "\tTriveld.OrvWorkstationInfo.2 = s 'OrvWorkstationInfo Class'",
               "\t{",
               "\t\tCLSID = s '" + clsid + "'",
               "\t}",
               "\tTriveld.OrvWorkstationInfo = s 'OrvWorkstationInfo Class'",
               "\t{",
               "\t\tCLSID = s '" + clsid + "'",
               "\t\tCurVer = s 'Triveld.OrvWorkstationInfo.3'",
               "\t}",
               "\tNoRemove CLSID",
               "\t{",
               "\t\tForceRemove " + clsid + " = s 'OrvWorkstationInfo Class'",
               "\t\t{",
               "\t\t\tProgID = s 'Triveld.OrvWorkstationInfo.3'",
               "\t\t\tVersionIndependentProgID = s 'Triveld.OrvWorkstationInfo'",
               "\t\t\tForceRemove 'Programmable'",
               "\t\t\tInprocServer32 = s '%MODULE%'",
               "\t\t\t{",
               "\t\t\t\tval ThreadingModel = s 'Both'",
               "\t\t\t}",
               "\t\t\tval AppID = s '%APPID%'",
               "\t\t\t'TypeLib' = s '{A4D2F6B8-1C3E-4F57-8B9D-2E6A0C5F1B73}'",
               "\t\t}",
               "\t}",
               "}"}),
        dll.Resource(L"REGISTRY", IDR_ORV_WORKSTATION_INFO_SCRIPT));
}

TEST(EmbeddedResources, TypeLibraryIsResourceOneInLanguage1033)
{
    DataModule dll(TRIVELD_DLL_PATH);
    const std::string library = dll.Resource(L"TYPELIB", 1);
    ASSERT_GT(library.size(), 24u);
    EXPECT_EQ("MSFT", library.substr(0, 4));
}

TEST(EmbeddedResources, VersionInformationNamesTheProduct)
{
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(TRIVELD_DLL_PATH, &handle);
    ASSERT_NE(0u, size);
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoW(TRIVELD_DLL_PATH, 0, size, &block[0]));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(&block[0], L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0x00020000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00020000u, fixed->dwProductVersionMS);
    wchar_t* text = nullptr;
    ASSERT_TRUE(VerQueryValueW(&block[0], L"\\StringFileInfo\\040904B0\\OriginalFilename",
                               reinterpret_cast<void**>(&text), &length));
    EXPECT_STREQ(L"Triveld.dll", text);
    ASSERT_TRUE(VerQueryValueW(&block[0], L"\\StringFileInfo\\040904B0\\ProductName",
                               reinterpret_cast<void**>(&text), &length));
    EXPECT_STREQ(L"Triveld", text);
}

TEST(EmbeddedResources, StringTableNamesTheProject)
{
    DataModule dll(TRIVELD_DLL_PATH);
    wchar_t text[64] = {};
    ASSERT_GT(LoadStringW(dll.Get(), IDS_PROJNAME, text, 64), 0);
    EXPECT_STREQ(L"Triveld", text);
}

// The 32-bit product, read as data: its library must be a SYS_WIN32 one.
TEST(ProductDll, EmbedsA32BitTypeLibrary)
{
    DataModule dll(TRIVELD_I686_DLL_PATH);
    ASSERT_NE(nullptr, dll.Get()) << "the i686 build is missing";
    const std::string library = dll.Resource(L"TYPELIB", 1);
    ASSERT_GT(library.size(), 24u);
    EXPECT_EQ("MSFT", library.substr(0, 4));
    // MSFT header: magic, version, guid offset, lcid, lcid2, then flags whose
    // low nibble is the system kind.
    EXPECT_EQ(SYS_WIN32, static_cast<unsigned char>(library[20]) & 0x0F);
}

} // namespace
