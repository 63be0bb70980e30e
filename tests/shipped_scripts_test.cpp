// The AppID and class scripts carried by the DLL, run against a scratch
// HKEY_CLASSES_ROOT.
#include <windows.h>

#include <set>
#include <string>

#include <gtest/gtest.h>

#include "frame/server_module.h"
#include "registration/registrar.h"
#include "registration/registry_script_parser.h"
#include "resources/resource_ids.h"
#include "tests/support/registry_snapshot.h"
#include "tests/support/scratch_registry.h"

namespace {

const char kClsid[] = "{5B1E0C42-7A93-4D61-9E2F-3C8A0D4B7E15}";
const char kAppId[] = "{C7E3A915-4B2D-4E8F-A06C-9D1F3B5E2A48}";
const char kLibId[] = "{A4D2F6B8-1C3E-4F57-8B9D-2E6A0C5F1B73}";
// A module path with a single quote, as the scripts receive it: doubled.
const wchar_t kQuotedModule[] = L"C:\\Program Files\\O''Brien\\Triveld.dll";
const char kModule[] = "C:\\Program Files\\O'Brien\\Triveld.dll";

std::string ScriptResource(int id)
{
    HMODULE dll = LoadLibraryExW(TRIVELD_DLL_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (dll == nullptr) {
        return std::string();
    }
    std::string text;
    HRSRC found = FindResourceW(dll, MAKEINTRESOURCEW(id), L"REGISTRY");
    if (found != nullptr) {
        const char* bytes = static_cast<const char*>(LockResource(LoadResource(dll, found)));
        text.assign(bytes, SizeofResource(dll, found));
    }
    FreeLibrary(dll);
    return text;
}

class ShippedScripts : public testing::Test {
protected:
    void SetUp() override
    {
        appIdScript_ = ScriptResource(IDR_APPID_SCRIPT);
        classScript_ = ScriptResource(IDR_ORV_WORKSTATION_INFO_SCRIPT);
        ASSERT_FALSE(appIdScript_.empty());
        ASSERT_FALSE(classScript_.empty());
    }

    // Replacements as every script run receives them.
    static HRESULT Run(const std::string& script, bool registering)
    {
        Registrar registrar;
        ServerModule* module = GetServerModule();
        if (module == nullptr || FAILED(module->AddStandardReplacements(&registrar)) ||
            FAILED(registrar.DefineReplacement(L"Module", kQuotedModule)) ||
            FAILED(registrar.DefineReplacement(L"Module_Raw", kQuotedModule))) {
            return E_UNEXPECTED;
        }
        RegistryScriptParser parser(&registrar);
        return parser.RunScript(script.c_str(), registering);
    }

    HRESULT RegisterBoth()
    {
        const HRESULT result = Run(appIdScript_, true);
        return FAILED(result) ? result : Run(classScript_, true);
    }

    HRESULT UnregisterBoth()
    {
        const HRESULT result = Run(classScript_, false);
        return FAILED(result) ? result : Run(appIdScript_, false);
    }

    std::set<std::string> Tree() const { return SnapshotTree(scratch_.ClassesRoot()); }

    static std::set<std::string> Registered()
    {
        const std::string appId = std::string("AppID\\") + kAppId;
        const std::string classKey = std::string("CLSID\\") + kClsid;
        std::set<std::string> lines = {
            "AppID",
            appId,
            appId + " : @ = SZ Triveld",
            "AppID\\Triveld.DLL",
            std::string("AppID\\Triveld.DLL : AppID = SZ ") + kAppId,
            "CLSID",
            classKey,
            classKey + " : @ = SZ OrvWorkstationInfo Class",
            classKey + " : AppID = SZ " + kAppId,
            classKey + "\\ProgID",
            classKey + "\\ProgID : @ = SZ Triveld.OrvWorkstationInfo.3",
            classKey + "\\VersionIndependentProgID",
            classKey + "\\VersionIndependentProgID : @ = SZ Triveld.OrvWorkstationInfo",
            classKey + "\\Programmable",
            classKey + "\\InprocServer32",
            classKey + "\\InprocServer32 : @ = SZ " + kModule,
            classKey + "\\InprocServer32 : ThreadingModel = SZ Both",
            classKey + "\\TypeLib",
            classKey + "\\TypeLib : @ = SZ " + kLibId,
        };
        for (const char* progId : {"Triveld.OrvWorkstationInfo.3", "Triveld.OrvWorkstationInfo.2",
                                   "Triveld.OrvWorkstationInfo"}) {
            const std::string key = progId;
            lines.insert(key);
            lines.insert(key + " : @ = SZ OrvWorkstationInfo Class");
            lines.insert(key + "\\CLSID");
            lines.insert(key + "\\CLSID : @ = SZ " + kClsid);
        }
        lines.insert("Triveld.OrvWorkstationInfo\\CurVer");
        lines.insert("Triveld.OrvWorkstationInfo\\CurVer : @ = SZ Triveld.OrvWorkstationInfo.3");
        return lines;
    }

    ScratchRegistry scratch_;
    std::string appIdScript_;
    std::string classScript_;
};

TEST_F(ShippedScripts, RegisterLeavesExactlyTheListedKeysAndValues)
{
    ASSERT_EQ(S_OK, RegisterBoth());
    EXPECT_EQ(Registered(), Tree()) << DescribeDifference(Registered(), Tree());
}

TEST_F(ShippedScripts, RegisteringTwiceRebuildsTheClassKey)
{
    ASSERT_EQ(S_OK, RegisterBoth());
    CreateKeyPath(scratch_.ClassesRoot(), std::string("CLSID\\") + kClsid + "\\Leftover");
    ASSERT_EQ(S_OK, RegisterBoth());
    EXPECT_EQ(Registered(), Tree()) << DescribeDifference(Registered(), Tree());
}

TEST_F(ShippedScripts, UnregisterRemovesEverythingButTheSharedKeys)
{
    CreateKeyPath(scratch_.ClassesRoot(), "CLSID\\{00000000-0000-0000-0000-000000000001}");
    ASSERT_EQ(S_OK, RegisterBoth());
    ASSERT_EQ(S_OK, UnregisterBoth());
    EXPECT_EQ((std::set<std::string>{"AppID", "CLSID",
                                     "CLSID\\{00000000-0000-0000-0000-000000000001}"}),
              Tree());
}

TEST_F(ShippedScripts, UnregisterWithNothingRegisteredSucceedsAndTouchesNothing)
{
    ASSERT_EQ(S_OK, UnregisterBoth());
    EXPECT_TRUE(Tree().empty());
    CreateKeyPath(scratch_.ClassesRoot(), "AppID");
    CreateKeyPath(scratch_.ClassesRoot(), "CLSID");
    ASSERT_EQ(S_OK, UnregisterBoth());
    EXPECT_EQ((std::set<std::string>{"AppID", "CLSID"}), Tree());
}

TEST_F(ShippedScripts, UnregisterStopsAtAClassKeyWithForeignSubkeys)
{
    ASSERT_EQ(S_OK, RegisterBoth());
    // Left by category registration when it is not removed first.
    CreateKeyPath(scratch_.ClassesRoot(), std::string("CLSID\\") + kClsid +
                                              "\\Implemented Categories");
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), Run(classScript_, false));
    EXPECT_TRUE(KeyExists(scratch_.ClassesRoot(), std::string("CLSID\\") + kClsid));
    EXPECT_FALSE(KeyExists(scratch_.ClassesRoot(), std::string("CLSID\\") + kClsid + "\\ProgID"));
}

TEST_F(ShippedScripts, UndefinedModulePlaceholderTouchesNothing)
{
    Registrar registrar;
    RegistryScriptParser parser(&registrar);
    EXPECT_EQ(DISP_E_EXCEPTION, parser.RunScript(classScript_.c_str(), true));
    EXPECT_TRUE(Tree().empty());
}

} // namespace
