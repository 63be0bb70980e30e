// Script text in a double-byte code page: this program runs with a Japanese
// locale (code page 932), where the trail byte of a character may be 0x5C.
#include <windows.h>

#include <objbase.h>

#include <string>

#include <gtest/gtest.h>

#include "registration/placeholder_expansion.h"
#include "registration/registrar.h"
#include "registration/registry_script_parser.h"
#include "tests/support/scratch_registry.h"

namespace {

// U+8868, in code page 932 the bytes 0x95 0x5C: its trail byte is a backslash.
const char kTable[] = "\x95\x5C";

class DoubleByteScript : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(932u, GetACP()) << "this program must run with LC_ALL=ja_JP.UTF-8";
        ASSERT_TRUE(IsDBCSLeadByte(0x95));
    }

    HRESULT Run(const std::string& script, bool registering)
    {
        RegistryScriptParser parser(&registrar_);
        return parser.RunScript(script.c_str(), registering);
    }

    std::string Value(const std::string& path, const char* name)
    {
        DWORD type = 0;
        std::string bytes;
        return ReadRaw(scratch_.ClassesRoot(), path, name, &type, &bytes) ? bytes : "<absent>";
    }

    bool Exists(const std::string& path) const { return KeyExists(scratch_.ClassesRoot(), path); }

    ScratchRegistry scratch_;
    Registrar registrar_;
};

std::string Repeat(const char* text, int count)
{
    std::string repeated;
    for (int index = 0; index < count; ++index) {
        repeated += text;
    }
    return repeated;
}

TEST_F(DoubleByteScript, TrailByteBackslashIsNoSeparator)
{
    const std::string name = std::string("Key") + kTable;
    ASSERT_EQ(S_OK, Run("HKCR { '" + name + "' = s 'x' }", true));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(scratch_.ClassesRoot(), L"Key\x8868", 0, KEY_READ, &key));
    RegCloseKey(key);
    ASSERT_EQ(S_OK, Run("HKCR { ForceRemove '" + name + "' }", true));
    ASSERT_EQ(S_OK, Run("HKCR { '" + name + "' }", false));
    EXPECT_FALSE(Exists(name));
}

TEST_F(DoubleByteScript, MultiStringEscapeIsNotFoundInsideACharacter)
{
    ASSERT_EQ(S_OK, Run(std::string("HKCR { K { val M = m '") + kTable + "0\\0' } }", true));
    EXPECT_EQ(std::string("\x95\x5C" "0\0\0", 5), Value("K", "M"));
}

TEST_F(DoubleByteScript, ACharacterIsAddedWholeBelowTheTokenLimit)
{
    const std::string fits = std::string(4093, 'v') + kTable; // 4095 bytes
    ASSERT_EQ(S_OK, Run("HKCR { A = s '" + fits + "' }", true));
    EXPECT_EQ(fits + std::string(1, '\0'), Value("A", nullptr));
    const std::string over = std::string(4094, 'v') + kTable;
    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKCR { B = s '" + over + "' }", true));
    EXPECT_EQ("<absent>", Value("B", nullptr));
}

TEST_F(DoubleByteScript, PlaceholderNamesAndTextsUseTheCodePage)
{
    ASSERT_EQ(S_OK, registrar_.DefineReplacement(L"\x8868", L"\x7F6E\x63DB%"));
    char expected[16] = {};
    ASSERT_LT(0, WideCharToMultiByte(932, 0, L"[\x7F6E\x63DB%]", -1, expected, sizeof(expected),
                                     nullptr, nullptr));
    char* expanded = nullptr;
    ASSERT_EQ(S_OK, ExpandReplacements(&registrar_.Replacements(),
                                       (std::string("[%") + kTable + "%]").c_str(), &expanded));
    EXPECT_STREQ(expected, expanded);
    CoTaskMemFree(expanded);
}

TEST_F(DoubleByteScript, LeadByteAtTheEndIsNotReadPast)
{
    char* expanded = nullptr;
    ASSERT_EQ(S_OK, ExpandReplacements(nullptr, "abc\x95", &expanded));
    EXPECT_EQ(std::string("abc\x95"), std::string(expanded));
    CoTaskMemFree(expanded);
    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKCR { K = s '\x95", true));
    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKCR { K\x95", true));
}

TEST_F(DoubleByteScript, OverlongKeyNameCannotDeleteTheKeyItsCutNames)
{
    // 130 characters are a valid key name of 260 bytes; cut to the 259 bytes
    // of the key-name field it would name another key.
    const std::string full = Repeat(kTable, 130);
    const std::string cut = full.substr(0, 259);
    CreateKeyPath(scratch_.ClassesRoot(), "P\\" + full);
    CreateKeyPath(scratch_.ClassesRoot(), "P\\" + cut);
    ASSERT_TRUE(Exists("P\\" + cut));

    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKCR { NoRemove P { '" + full + "' } }", false));
    EXPECT_TRUE(Exists("P\\" + full));
    EXPECT_TRUE(Exists("P\\" + cut));
    // Kept or missing, the name is never used for a delete.
    EXPECT_EQ(S_OK, Run("HKCR { NoRemove P { NoRemove '" + full + "' } }", false));
    EXPECT_EQ(S_OK, Run("HKCR { NoRemove P { '" + Repeat(kTable, 131) + "' } }", false));
    EXPECT_TRUE(Exists("P\\" + cut));
}

} // namespace
