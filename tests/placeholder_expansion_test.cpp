// Replacement map, registrar and the placeholder pass over script text.
#include <windows.h>

#include <objbase.h>

#include <string>

#include <gtest/gtest.h>

#include "registration/expansion_buffer.h"
#include "registration/placeholder_expansion.h"
#include "registration/registrar.h"

namespace {

// Runs the placeholder pass; the text is "<null>" when none was handed out.
struct Expansion {
    HRESULT result;
    std::string text;
};

Expansion Expand(const Registrar& registrar, const std::string& script)
{
    char* expanded = reinterpret_cast<char*>(1);
    Expansion outcome{ExpandReplacements(&registrar.Replacements(), script.c_str(), &expanded),
                      "<null>"};
    if (expanded != nullptr) {
        outcome.text = expanded;
        CoTaskMemFree(expanded);
    }
    return outcome;
}

TEST(Registrar, OperationTableAnswersAsAFixedObject)
{
    Registrar registrar;
    void* object = &registrar;
    EXPECT_EQ(E_NOTIMPL, registrar.QueryInterface(IID_IUnknown, &object));
    EXPECT_EQ(&registrar, object);
    EXPECT_EQ(1u, registrar.AddRef());
    EXPECT_EQ(0u, registrar.Release());
    EXPECT_EQ(0u, registrar.Release());
}

TEST(Registrar, DefineReplacementRefusesMissingArgumentsAndAddsNothing)
{
    Registrar registrar;
    EXPECT_EQ(E_INVALIDARG, registrar.DefineReplacement(nullptr, L"text"));
    EXPECT_EQ(E_INVALIDARG, registrar.DefineReplacement(L"name", nullptr));
    EXPECT_EQ(0, registrar.Replacements().Count());
}

TEST(Registrar, LookupIgnoresCaseAndTheFirstDefinitionWins)
{
    Registrar registrar;
    ASSERT_EQ(S_OK, registrar.DefineReplacement(L"Module", L"first"));
    ASSERT_EQ(S_OK, registrar.DefineReplacement(L"MODULE", L"second"));
    EXPECT_EQ(2, registrar.Replacements().Count());
    EXPECT_STREQ(L"first", registrar.Replacements().FindReplacement("module"));
    EXPECT_EQ(nullptr, registrar.Replacements().FindReplacement("Modul"));
    EXPECT_EQ("first", Expand(registrar, "%module%").text);
}

TEST(Registrar, RemoveAllEmptiesTheMapAndItCanBeFilledAgain)
{
    Registrar registrar;
    ASSERT_EQ(S_OK, registrar.DefineReplacement(L"A", L"1"));
    EXPECT_EQ(S_OK, registrar.RemoveAllReplacements());
    EXPECT_EQ(0, registrar.Replacements().Count());
    EXPECT_EQ(DISP_E_EXCEPTION, Expand(registrar, "%A%").result);
    ASSERT_EQ(S_OK, registrar.DefineReplacement(L"A", L"2"));
    EXPECT_EQ("2", Expand(registrar, "%A%").text);
}

TEST(ExpandReplacements, MissingArgumentsGiveEPointer)
{
    char* expanded = reinterpret_cast<char*>(1);
    EXPECT_EQ(E_POINTER, ExpandReplacements(nullptr, nullptr, &expanded));
    EXPECT_EQ(nullptr, expanded);
    EXPECT_EQ(E_POINTER, ExpandReplacements(nullptr, "text", nullptr));
}

TEST(ExpandReplacements, TextWithoutPlaceholdersIsCopiedUnchanged)
{
    Registrar registrar;
    EXPECT_EQ(S_OK, Expand(registrar, "").result);
    EXPECT_EQ("", Expand(registrar, "").text);
    const std::string script = "HKCR\r\n{\r\n\t'a b' = s 'x'\r\n}\r\n";
    EXPECT_EQ(script, Expand(registrar, script).text);
}

TEST(ExpandReplacements, DoublePercentBecomesOne)
{
    Registrar registrar;
    EXPECT_EQ("100% sure %", Expand(registrar, "100%% sure %%").text);
    EXPECT_EQ("%%", Expand(registrar, "%%%%").text);
}

TEST(ExpandReplacements, PlaceholderNamesUpTo31Bytes)
{
    Registrar registrar;
    const std::wstring name31(31, L'N');
    const std::wstring name32(32, L'N');
    ASSERT_EQ(S_OK, registrar.DefineReplacement(name31.c_str(), L"short"));
    ASSERT_EQ(S_OK, registrar.DefineReplacement(name32.c_str(), L"long"));
    EXPECT_EQ("[short]", Expand(registrar, "[%" + std::string(31, 'n') + "%]").text);
    const Expansion tooLong = Expand(registrar, "[%" + std::string(32, 'N') + "%]");
    EXPECT_EQ(E_FAIL, tooLong.result);
    EXPECT_EQ("<null>", tooLong.text);
    EXPECT_EQ(E_FAIL, Expand(registrar, "%" + std::string(300, 'N') + "%").result);
}

TEST(ExpandReplacements, UnclosedOrUndefinedPlaceholdersFail)
{
    Registrar registrar;
    ASSERT_EQ(S_OK, registrar.DefineReplacement(L"A", L"1"));
    const Expansion unclosed = Expand(registrar, "x %A% %A");
    EXPECT_EQ(DISP_E_EXCEPTION, unclosed.result);
    EXPECT_EQ("<null>", unclosed.text);
    EXPECT_EQ(DISP_E_EXCEPTION, Expand(registrar, "ends with %").result);
    // The unclosed test comes first, even for a name that would be too long.
    EXPECT_EQ(DISP_E_EXCEPTION, Expand(registrar, "%" + std::string(40, 'x')).result);
    EXPECT_EQ(DISP_E_EXCEPTION, Expand(registrar, "%B%").result);
}

TEST(ExpandReplacements, InsertedTextIsNotScannedAgain)
{
    Registrar registrar;
    ASSERT_EQ(S_OK, registrar.DefineReplacement(L"A", L"%B% and 50%"));
    ASSERT_EQ(S_OK, registrar.DefineReplacement(L"B", L"wrong"));
    EXPECT_EQ("'%B% and 50%'", Expand(registrar, "'%A%'").text);
    // An empty text removes the placeholder.
    ASSERT_EQ(S_OK, registrar.DefineReplacement(L"Empty", L""));
    EXPECT_EQ("ab", Expand(registrar, "a%EMPTY%b").text);
}

TEST(ExpandReplacements, WithoutAMapNothingIsDefined)
{
    char* expanded = nullptr;
    EXPECT_EQ(DISP_E_EXCEPTION, ExpandReplacements(nullptr, "%A%", &expanded));
    EXPECT_EQ(nullptr, expanded);
    ASSERT_EQ(S_OK, ExpandReplacements(nullptr, "plain %% text", &expanded));
    EXPECT_STREQ("plain % text", expanded);
    CoTaskMemFree(expanded);
}

TEST(ExpandReplacements, ManyLongReplacementsGrowTheBufferWithoutLoss)
{
    Registrar registrar;
    const std::wstring wideText(997, L'x');
    ASSERT_EQ(S_OK, registrar.DefineReplacement(L"Long", (L"<" + wideText + L">").c_str()));
    std::string script;
    std::string expected;
    for (int index = 0; index < 300; ++index) {
        script += "%LONG%" + std::to_string(index);
        expected += "<" + std::string(997, 'x') + ">" + std::to_string(index);
    }
    const Expansion outcome = Expand(registrar, script);
    ASSERT_EQ(S_OK, outcome.result);
    EXPECT_EQ(expected.size(), outcome.text.size());
    EXPECT_TRUE(expected == outcome.text);
}

TEST(ExpansionBuffer, InitialCapacityIsTwiceTheScriptOr1000)
{
    struct Case {
        size_t scriptLength;
        size_t capacity;
    };
    for (const Case& c : {Case{0, 1000}, Case{49, 1000}, Case{50, 100}, Case{60, 120},
                          Case{5000, 10000}}) {
        ExpansionBuffer buffer;
        ASSERT_TRUE(buffer.Allocate(c.scriptLength));
        EXPECT_EQ(c.capacity, buffer.Capacity()) << "script of " << c.scriptLength;
        EXPECT_STREQ("", buffer.Text());
    }
}

TEST(ExpansionBuffer, CapacityDoublesUntilTheTextAndTerminatorFit)
{
    ExpansionBuffer buffer;
    ASSERT_TRUE(buffer.Allocate(60)); // 120 bytes
    const std::string block(118, 'a');
    ASSERT_TRUE(buffer.Append(block.data(), block.size()));
    EXPECT_EQ(120u, buffer.Capacity()); // 118 + 1 is below 120
    ASSERT_TRUE(buffer.Append("b", 1));
    EXPECT_EQ(240u, buffer.Capacity()); // 120 is not below 120
    const std::string big(1000, 'c');
    ASSERT_TRUE(buffer.Append(big.data(), big.size()));
    EXPECT_EQ(1920u, buffer.Capacity()); // 1120 needs three doublings
    EXPECT_EQ(1119u, buffer.Length());
    EXPECT_EQ(block + "b" + big, std::string(buffer.Text()));
    char* text = buffer.Detach();
    EXPECT_EQ(nullptr, buffer.Text());
    CoTaskMemFree(text);
}

} // namespace
