// The registration script interpreter against scratch registry roots.
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "registration/registrar.h"
#include "registration/registry_script_parser.h"
#include "registration/script_vocabulary.h"
#include "tests/support/denied_key_access.h"
#include "tests/support/guarded_buffer.h"
#include "tests/support/registry_snapshot.h"
#include "tests/support/scratch_registry.h"

namespace {

// While one lives, every nothrow array allocation (the buffers the value
// writers size for their conversions) ends where an inaccessible page
// begins: writing one byte past the size asked for faults, where the heap's
// rounding would hide it.
class GuardedArrays {
public:
    GuardedArrays() { active = this; }
    ~GuardedArrays() { active = nullptr; }
    GuardedArrays(const GuardedArrays&) = delete;
    GuardedArrays& operator=(const GuardedArrays&) = delete;

    void* Allocate(std::size_t size)
    {
        buffers_.push_back(std::make_unique<GuardedBuffer>(size));
        return buffers_.back()->Data();
    }
    bool Release(void* data)
    {
        for (auto it = buffers_.begin(); it != buffers_.end(); ++it) {
            if ((*it)->Data() == data) {
                buffers_.erase(it);
                return true;
            }
        }
        return false;
    }

    static GuardedArrays* active;

private:
    std::vector<std::unique_ptr<GuardedBuffer>> buffers_;
};

GuardedArrays* GuardedArrays::active = nullptr;

} // namespace

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    if (GuardedArrays::active != nullptr && size != 0) {
        return GuardedArrays::active->Allocate(size);
    }
    return std::malloc(size != 0 ? size : 1);
}

void operator delete[](void* data) noexcept
{
    if (GuardedArrays::active != nullptr && GuardedArrays::active->Release(data)) {
        return;
    }
    std::free(data);
}

void operator delete[](void* data, std::size_t) noexcept
{
    operator delete[](data);
}

namespace {

const bool kRegister = true;
const bool kUnregister = false;

class ScriptTest : public testing::Test {
protected:
    HRESULT Run(const std::string& script, bool registering)
    {
        RegistryScriptParser parser(&registrar_);
        return parser.RunScript(script.c_str(), registering);
    }

    HKEY Classes() const { return scratch_.ClassesRoot(); }
    HKEY Machine() const { return scratch_.MachineRoot(); }
    bool Exists(const std::string& path) const { return KeyExists(Classes(), path); }
    std::set<std::string> Tree() const { return SnapshotTree(Classes()); }

    // The value's registry type and bytes; "<absent>" when there is none.
    std::string Value(const std::string& path, const char* name, DWORD* type = nullptr) const
    {
        DWORD found = 0;
        std::string bytes;
        if (!ReadRaw(Classes(), path, name, &found, &bytes)) {
            return "<absent>";
        }
        if (type != nullptr) {
            *type = found;
        }
        return bytes;
    }

    ScratchRegistry scratch_;
    Registrar registrar_;
};

std::string Text(const std::string& text)
{
    return text + std::string(1, '\0');
}

// ---- Structure of a script -------------------------------------------------

TEST_F(ScriptTest, EmptyScriptsChangeNothing)
{
    CreateKeyPath(Classes(), "Existing");
    const std::set<std::string> before = Tree();
    for (bool mode : {kRegister, kUnregister}) {
        EXPECT_EQ(S_OK, Run("", mode));
        EXPECT_EQ(S_OK, Run("HKCR { }", mode));
        EXPECT_EQ(S_OK, Run("\r\n\tHKCR\r\n{\r\n}\r\n\r\n", mode));
        EXPECT_EQ(S_OK, Run("HKCR {x }", mode)) << "the opening token only needs to begin with {";
    }
    EXPECT_EQ(before, Tree());
}

TEST_F(ScriptTest, BlanksAloneOrBadRootsAreRefused)
{
    EXPECT_EQ(DISP_E_EXCEPTION, Run(" \t\r\n", kRegister));
    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKXX { A }", kRegister));
    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKCR A { }", kRegister));
    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKCR", kRegister));
    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKCR { } HKCR", kRegister));
    EXPECT_FALSE(Exists("A"));
}

TEST_F(ScriptTest, RootNamesIgnoreCase)
{
    EXPECT_EQ(S_OK, Run("hkcr { A } HKEY_Classes_Root { B } HkLm { C } "
                        "hkey_local_machine { D }",
                        kRegister));
    EXPECT_TRUE(Exists("A"));
    EXPECT_TRUE(Exists("B"));
    EXPECT_TRUE(KeyExists(Machine(), "C"));
    EXPECT_TRUE(KeyExists(Machine(), "D"));
}

TEST_F(ScriptTest, MissingFinalBraceUndoesOnlyUpToTheSameEnd)
{
    // The run creates A and B, fails at the end of the text; the backwards
    // run removes B and fails at that same end, so A stays.
    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKCR { A { B } ", kRegister));
    EXPECT_TRUE(Exists("A"));
    EXPECT_FALSE(Exists("A\\B"));
}

TEST_F(ScriptTest, AFailingRootBlockIsUndoneButEarlierBlocksStay)
{
    CreateKeyPath(Classes(), "Old");
    SetString(Classes(), "Keep", "v", "x");
    const std::string script = "HKCR { First = s 'one' } "
                               "HKCR { Old { New = s 'n' } NoRemove Keep { val v = s 'y' } "
                               "Bad = q 'z' }";
    EXPECT_EQ(DISP_E_EXCEPTION, Run(script, kRegister));
    EXPECT_EQ(Text("one"), Value("First", nullptr));
    // Removed whether this run created it or it was there before.
    EXPECT_FALSE(Exists("Old"));
    EXPECT_TRUE(Exists("Keep"));
    EXPECT_EQ("<absent>", Value("Keep", "v"));
    EXPECT_FALSE(Exists("Bad"));
}

TEST_F(ScriptTest, UnregisterModeStopsAtAFailureAndKeepsWhatItRemoved)
{
    CreateKeyPath(Classes(), "A");
    CreateKeyPath(Classes(), "B");
    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKCR { A 'x\\y' B }", kUnregister));
    EXPECT_FALSE(Exists("A"));
    EXPECT_TRUE(Exists("B"));
}

// ---- Tokens ----------------------------------------------------------------

TEST_F(ScriptTest, QuotingRules)
{
    ASSERT_EQ(S_OK, Run("HKCR { 'It''s' 'a b' X=s '{x}' = s '%%''=' }", kRegister));
    EXPECT_TRUE(Exists("It's"));
    EXPECT_TRUE(Exists("a b"));
    EXPECT_TRUE(Exists("X=s")) << "X=s without blanks is one token";
    EXPECT_EQ(Text("%'="), Value("{x}", nullptr));
}

TEST_F(ScriptTest, QuoteEndsATokenWithoutABlank)
{
    ASSERT_EQ(S_OK, Run("HKCR { 'A'= s 'v'}", kRegister)) << "closing quote ends the token";
    EXPECT_EQ(Text("v"), Value("A", nullptr));
}

TEST_F(ScriptTest, UnclosedQuoteFails)
{
    // The backwards run meets the same error before it could remove A.
    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKCR { A = s 'open }", kRegister));
    EXPECT_TRUE(Exists("A"));
    EXPECT_EQ("<absent>", Value("A", nullptr));
    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKCR { A = s 'open }", kUnregister));
    EXPECT_TRUE(Exists("A"));
}

TEST_F(ScriptTest, TokensHoldAtMost4094Bytes)
{
    const std::string fits(4094, 'v');
    ASSERT_EQ(S_OK, Run("HKCR { A = s '" + fits + "' }", kRegister));
    EXPECT_EQ(Text(fits), Value("A", nullptr));
    ASSERT_EQ(S_OK, Run("HKCR { B = s " + fits + " }", kRegister));
    EXPECT_EQ(Text(fits), Value("B", nullptr));

    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKCR { C = s '" + fits + "v' }", kRegister));
    EXPECT_EQ("<absent>", Value("C", nullptr));
    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKCR { D = s " + fits + "v }", kRegister));
    EXPECT_EQ("<absent>", Value("D", nullptr));
    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKCR { NoRemove '" + fits + "v' }", kUnregister));
    // Doubled quotes count once.
    const std::string quotes(4094, '\'');
    ASSERT_EQ(S_OK, Run("HKCR { E = s '" + quotes + quotes + "' }", kRegister));
    EXPECT_EQ(Text(std::string(2047, '\'')), Value("E", nullptr).substr(2047));
}

TEST_F(ScriptTest, KeywordsAreRecognisedQuotedAndInAnyCase)
{
    CreateKeyPath(Classes(), "Kept1\\Child");
    CreateKeyPath(Classes(), "Kept2");
    ASSERT_EQ(S_OK, Run("HKCR { 'NoRemove' Kept1 { Child } noremove Kept2 }", kUnregister));
    EXPECT_TRUE(Exists("Kept1"));
    EXPECT_FALSE(Exists("Kept1\\Child"));
    EXPECT_TRUE(Exists("Kept2"));
    EXPECT_FALSE(Exists("NoRemove"));

    ASSERT_EQ(S_OK, Run("HKCR { K { 'VAL' V = S 'x' } }", kRegister));
    EXPECT_EQ(Text("x"), Value("K", "V"));
    EXPECT_FALSE(Exists("K\\VAL"));
}

// ---- Values ----------------------------------------------------------------

TEST_F(ScriptTest, StringAndNumberValues)
{
    ASSERT_EQ(S_OK, Run("HKCR { K = s 'default' { val S = S 'text' val D = d '4294967295' "
                        "val Z = D '0' val E = s '' } }",
                        kRegister));
    DWORD type = 0;
    EXPECT_EQ(Text("default"), Value("K", nullptr, &type));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(Text("text"), Value("K", "S"));
    EXPECT_EQ(std::string("\xFF\xFF\xFF\xFF", 4), Value("K", "D", &type));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(std::string(4, '\0'), Value("K", "Z"));
    EXPECT_EQ(Text(""), Value("K", "E"));
}

TEST_F(ScriptTest, NumberTextThatDoesNotConvertIsRefusedAndRolledBack)
{
    const HRESULT notANumber = Run("HKCR { K { val D = d 'twelve' } }", kRegister);
    EXPECT_TRUE(FAILED(notANumber));
    EXPECT_NE(DISP_E_EXCEPTION, notANumber) << "the conversion's own result";
    EXPECT_FALSE(Exists("K"));
    EXPECT_TRUE(FAILED(Run("HKCR { K { val D = d '4294967296' } }", kRegister)));
    EXPECT_FALSE(Exists("K"));
}

TEST_F(ScriptTest, BinaryValuesAreByteExact)
{
    ASSERT_EQ(S_OK, Run("HKCR { K { val A = b '0aFF' val Z = b 'zz' val E = b '' } }",
                        kRegister));
    DWORD type = 0;
    EXPECT_EQ(std::string("\x0A\xFF", 2), Value("K", "A", &type));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
    EXPECT_EQ(std::string(1, '\0'), Value("K", "Z"));
    EXPECT_EQ("", Value("K", "E", &type));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);

    EXPECT_EQ(E_FAIL, Run("HKCR { L { val O = b 'abc' } }", kRegister));
    EXPECT_FALSE(Exists("L"));
}

TEST_F(ScriptTest, MultiStringValuesAreByteExactWithinTheirBuffers)
{
    struct Case {
        const char* text;
        std::string stored;
    };
    const Case cases[] = {
        {"a\\0b\\0", std::string("a\0b\0\0", 5)},
        // Without the closing "\0" the list still gets its terminating empty
        // string: the conversion's largest output for its length.
        {"a\\0b", std::string("a\0b\0\0", 5)},
        {"x\\y", std::string("x\\y\0\0", 5)},
        {"", std::string(1, '\0')},
        // A closing "\0" written out ends the list as the added one would.
        {"a\\0b\\0\\0", std::string("a\0b\0\0", 5)},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.text);
        {
            GuardedArrays guarded;
            ASSERT_EQ(S_OK, Run(std::string("HKCR { K { val M = m '") + test.text + "' } }",
                                kRegister));
        }
        DWORD type = 0;
        EXPECT_EQ(test.stored, Value("K", "M", &type));
        EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), type);
    }
}

TEST_F(ScriptTest, MultiStringWithAnEmptyStringInsideTheListIsRefused)
{
    // The list would end at the empty string and silently lose what follows.
    SetString(Classes(), "K", "M", "old");
    for (const char* text : {"a\\0\\0b\\0", "\\0b\\0", "a\\0\\0b"}) {
        EXPECT_EQ(DISP_E_EXCEPTION,
                  Run(std::string("HKCR { NoRemove K { NoRemove val M = m '") + text + "' } }",
                      kRegister))
            << text;
        EXPECT_EQ(Text("old"), Value("K", "M")) << text << ": nothing is written";
    }
    // As for any failure, the backwards run removes what the block describes.
    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKCR { New { val M = m 'a\\0\\0b\\0' } }", kRegister));
    EXPECT_FALSE(Exists("New"));
}

TEST_F(ScriptTest, ValueNamesUpTo259Bytes)
{
    const std::string name259(259, 'n');
    ASSERT_EQ(S_OK, Run("HKCR { K { val '" + name259 + "' = s 'x' } }", kRegister));
    EXPECT_EQ(Text("x"), Value("K", name259.c_str()));
    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKCR { L { val '" + name259 + "n' = s 'x' } }", kRegister));
    EXPECT_TRUE(SnapshotTree(Classes()).count("L") == 1);
    EXPECT_EQ(0u, SnapshotTree(Classes()).count("L : " + name259 + "n = SZ x"));
    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKCR { K { val '" + name259 + "n' = s 'x' } }", kUnregister));
    EXPECT_EQ(Text("x"), Value("K", name259.c_str()));
}

TEST_F(ScriptTest, ValueEntryNeedsAnEqualSign)
{
    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKCR { K { val V s 'x' } }", kRegister));
    EXPECT_EQ("<absent>", Value("K", "V"));
    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKCR { K { val V s 'x' } }", kUnregister));
    EXPECT_TRUE(Exists("K"));
}

TEST_F(ScriptTest, UnknownTypeTokenFailsInRegisterModeOnly)
{
    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKCR { K = e 'x' }", kRegister));
    EXPECT_FALSE(Exists("K"));
    CreateKeyPath(Classes(), "K");
    SetString(Classes(), "K", "V", "x");
    EXPECT_EQ(S_OK, Run("HKCR { K = e 'x' { val V = sz 'x' } }", kUnregister));
    EXPECT_FALSE(Exists("K"));
}

// ---- Flags -----------------------------------------------------------------

TEST_F(ScriptTest, ForceRemoveRebuildsAKeyButNeverAProtectedOne)
{
    const std::string clsid = "{11111111-2222-3333-4444-555555555555}";
    CreateKeyPath(Classes(), "CLSID\\Other");
    CreateKeyPath(Classes(), "CLSID\\" + clsid + "\\Stale\\Deeper");
    // Long subkey names are removed with the rest.
    CreateKeyPath(Classes(), "CLSID\\" + clsid + "\\Stale\\" + std::string(255, 'L'));
    SetString(Classes(), "CLSID\\" + clsid, "old", "x");
    ASSERT_EQ(S_OK, Run("HKCR { ForceRemove CLSID { ForceRemove " + clsid +
                            " = s 'Class' { Fresh } } }",
                        kRegister));
    EXPECT_TRUE(Exists("CLSID\\Other")) << "CLSID is protected";
    EXPECT_FALSE(Exists("CLSID\\" + clsid + "\\Stale"));
    EXPECT_EQ("<absent>", Value("CLSID\\" + clsid, "old"));
    EXPECT_EQ(Text("Class"), Value("CLSID\\" + clsid, nullptr));
    EXPECT_TRUE(Exists("CLSID\\" + clsid + "\\Fresh"));
}

TEST_F(ScriptTest, ProtectedNamesIgnoreCase)
{
    const char* names[] = {"appid",    "CLSID",  "component categories", "FILETYPE",
                           "Interface", "hardware", "MIME", "sam", "Security", "system",
                           "SOFTWARE", "typelib"};
    for (const char* name : names) {
        EXPECT_TRUE(IsProtectedKeyName(name)) << name;
        CreateKeyPath(Classes(), std::string(name) + "\\Child");
        EXPECT_EQ(S_OK, Run(std::string("HKCR { Delete '") + name + "' }", kRegister));
        EXPECT_TRUE(Exists(std::string(name) + "\\Child")) << name;
    }
    EXPECT_FALSE(IsProtectedKeyName("CLSID2"));
    EXPECT_FALSE(IsProtectedKeyName("Software\\x"));
}

TEST_F(ScriptTest, DeleteRemovesATreeAndCreatesNothing)
{
    CreateKeyPath(Classes(), "Gone\\Sub\\Deeper");
    CreateKeyPath(Classes(), "Parent\\Gone2");
    ASSERT_EQ(S_OK, Run("HKCR { Delete Gone = s 'ignored' Delete Missing "
                        "Parent { DELETE Gone2 = q 'unknown type is only read' } }",
                        kRegister));
    EXPECT_FALSE(Exists("Gone"));
    EXPECT_FALSE(Exists("Missing"));
    EXPECT_TRUE(Exists("Parent"));
    EXPECT_FALSE(Exists("Parent\\Gone2"));
    // In unregister mode the keyword is dropped: the entry is an ordinary key.
    CreateKeyPath(Classes(), "Plain");
    ASSERT_EQ(S_OK, Run("HKCR { Delete Plain ForceRemove Missing2 }", kUnregister));
    EXPECT_FALSE(Exists("Plain"));
}

TEST_F(ScriptTest, EmptyKeyNamesAreRefusedRatherThanNamingTheParent)
{
    CreateKeyPath(Classes(), "P\\Sibling");
    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKCR { NoRemove P { ForceRemove '' } }", kRegister));
    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKCR { NoRemove P { Delete '' } }", kRegister));
    EXPECT_TRUE(Exists("P\\Sibling"));
    CreateKeyPath(Classes(), "Q");
    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKCR { NoRemove Q { '' } }", kUnregister));
    EXPECT_TRUE(Exists("Q"));
    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKCR { NoRemove Q { '' = s 'x' } }", kRegister));
    EXPECT_EQ("<absent>", Value("Q", nullptr));
}

TEST_F(ScriptTest, BackslashInAKeyNameFailsInBothModes)
{
    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKCR { 'A\\B' }", kRegister));
    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKCR { ForceRemove 'A\\B' }", kRegister));
    EXPECT_FALSE(Exists("A"));
    CreateKeyPath(Classes(), "A\\B");
    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKCR { A\\B }", kUnregister));
    EXPECT_TRUE(Exists("A\\B"));
    // Value names and texts may hold one.
    ASSERT_EQ(S_OK, Run("HKCR { K = s 'C:\\dir' { val 'x\\y' = s 'z' } }", kRegister));
    EXPECT_EQ(Text("C:\\dir"), Value("K", nullptr));
    EXPECT_EQ(Text("z"), Value("K", "x\\y"));
}

// ---- Unregister mode -------------------------------------------------------

TEST_F(ScriptTest, UnregisterRemovesWhatTheScriptNamesAndKeepsNoRemove)
{
    const std::string script = "HKCR { NoRemove Shared { Mine = s 'x' { val V = s 'v' Sub } "
                               "val Own = d '1' NoRemove val Kept = s 'k' } }";
    ASSERT_EQ(S_OK, Run(script, kRegister));
    SetString(Classes(), "Shared", "Foreign", "f");
    ASSERT_EQ(S_OK, Run(script, kUnregister));
    EXPECT_EQ((std::set<std::string>{"Shared", "Shared : Foreign = SZ f",
                                     "Shared : Kept = SZ k"}),
              Tree());
}

TEST_F(ScriptTest, UnregisterSkipsMissingKeysWithTheirBlocks)
{
    CreateKeyPath(Classes(), "Present\\Child");
    CreateKeyPath(Classes(), "Lookalike");
    ASSERT_EQ(S_OK, Run("HKCR { Missing = s 'x' { Lookalike { val V = s 'v' } val W = s 'w' } "
                        "Present { Child { val Absent = s 'a' } } }",
                        kUnregister));
    EXPECT_FALSE(Exists("Present"));
    EXPECT_TRUE(Exists("Lookalike")) << "read through, not applied at the parent";
}

TEST_F(ScriptTest, BraceNamedSiblingIsAKeyInBothModes)
{
    const std::string script = "HKCR { NoRemove P { Foo {AAA} } }";
    ASSERT_EQ(S_OK, Run(script, kRegister));
    EXPECT_TRUE(Exists("P\\Foo"));
    EXPECT_TRUE(Exists("P\\{AAA}"));
    ASSERT_EQ(S_OK, Run(script, kUnregister));
    EXPECT_EQ((std::set<std::string>{"P"}), Tree());
}

TEST_F(ScriptTest, AScriptErrorInsideAMissingKeysBlockIsNotPassedOver)
{
    // Reading on after the bad name would take Victim as an entry of HKCR.
    CreateKeyPath(Classes(), "Victim");
    EXPECT_EQ(DISP_E_EXCEPTION, Run("HKCR { Missing { 'x\\y' Victim } }", kUnregister));
    EXPECT_TRUE(Exists("Victim"));
}

// A block has a key to belong to only after a key entry. After a value entry
// or a "Delete" entry it is a script error in both modes. So is a keyword
// where "ForceRemove" or "Delete" expects the name of the key to remove:
// register mode would remove a key of the keyword's name, unregister mode
// would read the keyword. Either way nothing is removed, created or written,
// neither the keys the entry names nor those its misread block names.
TEST_F(ScriptTest, BlocksAndKeywordsOutOfPlaceAreScriptErrorsThatTouchNothing)
{
    const char* const scripts[] = {
        "HKCR { NoRemove TrvHold { val Fresh = s 'x' { ForceRemove Victim } } }",
        "HKCR { NoRemove TrvHold { NoRemove Sib NoRemove val Kept = s 'x' "
        "{ ForceRemove Victim } } }",
        "HKCR { NoRemove TrvHold { Delete Gone { ForceRemove Victim } } }",
        "HKCR { NoRemove TrvHold { NoRemove Sib Delete Sib2 = s 'x' { ForceRemove Victim } } }",
        "HKCR { NoRemove TrvHold { Delete NoRemove X { Y } } }",
        "HKCR { NoRemove TrvHold { ForceRemove NoRemove Gone } }",
        "HKCR { NoRemove TrvHold { ForceRemove val Kept = s 'x' } }",
        "HKCR { NoRemove TrvHold { 'DELETE' 'delete' Gone } }",
        "HKCR { NoRemove TrvHold { Delete ForceRemove Gone } }",
    };
    // Every key an entry above could reach, including those named like keywords.
    for (const char* path : {"Victim\\Child", "Sib", "Gone\\Inside", "NoRemove\\Inside",
                             "val\\Inside", "Delete\\Inside", "ForceRemove\\Inside"}) {
        CreateKeyPath(Classes(), std::string("TrvHold\\") + path);
    }
    SetString(Classes(), "TrvHold", "Kept", "x");
    const std::set<std::string> before = Tree();
    for (const char* script : scripts) {
        for (bool mode : {kRegister, kUnregister}) {
            SCOPED_TRACE(std::string(mode == kRegister ? "register: " : "unregister: ") + script);
            EXPECT_EQ(DISP_E_EXCEPTION, Run(script, mode));
            const std::set<std::string> after = Tree();
            EXPECT_TRUE(before == after) << DescribeDifference(before, after);
        }
    }
}

// A shared key that the account may read but not write (as HKCR\CLSID is
// for a standard user) is opened for reading on the way to a key below it.
TEST_F(ScriptTest, RegistrationPassesThroughANoRemoveKeyItMayOnlyRead)
{
    CreateKeyPath(Classes(), "Shared\\Own");
    const std::string script = "HKCR { NoRemove Shared { Own { val V = s 'x' } } }";
    {
        DeniedKeyAccess readOnly(Classes(), "Shared", KEY_SET_VALUE | KEY_CREATE_SUB_KEY);
        EXPECT_EQ(S_OK, Run(script, kRegister));
        EXPECT_EQ(Text("x"), Value("Shared\\Own", "V"));
        EXPECT_EQ(S_OK, Run(script, kUnregister));
    }
    EXPECT_EQ((std::set<std::string>{"Shared"}), Tree());
}

TEST_F(ScriptTest, PlainDeleteOfAKeyWithForeignSubkeysFails)
{
    CreateKeyPath(Classes(), "K\\Named");
    CreateKeyPath(Classes(), "K\\Foreign");
    CreateKeyPath(Classes(), "After");
    const HRESULT result = Run("HKCR { K { Named } After }", kUnregister);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), result);
    EXPECT_TRUE(Exists("K\\Foreign"));
    EXPECT_FALSE(Exists("K\\Named"));
    EXPECT_TRUE(Exists("After")) << "the run stops at the refusal";
}

// ---- Nesting ---------------------------------------------------------------

TEST_F(ScriptTest, NestingUpToTheLimitWorksAndOneLevelMoreIsRefused)
{
    std::string script = "HKCR { ";
    std::string close = "}";
    for (int level = 1; level < kMaxBlockDepth; ++level) {
        script += "N { ";
        close += " }";
    }
    ASSERT_EQ(S_OK, Run(script + close, kRegister));
    std::string path = "N";
    for (int level = 2; level < kMaxBlockDepth; ++level) {
        path += "\\N";
    }
    EXPECT_TRUE(Exists(path));
    ASSERT_EQ(S_OK, Run(script + close, kUnregister));
    EXPECT_FALSE(Exists("N"));

    // One level more is refused in both modes.
    script += "N { ";
    close += " }";
    EXPECT_EQ(DISP_E_EXCEPTION, Run(script + close, kRegister));
    EXPECT_EQ(DISP_E_EXCEPTION, Run(script + close, kUnregister));
}

TEST_F(ScriptTest, DeepNestingIsADefinedFailureNotACrash)
{
    std::string braces = "HKCR { ";
    std::string keys = "HKCR { ";
    for (int level = 0; level < 100000; ++level) {
        braces += "{ ";
        keys += "K { ";
    }
    EXPECT_EQ(DISP_E_EXCEPTION, Run(braces, kRegister));
    EXPECT_EQ(DISP_E_EXCEPTION, Run(keys, kUnregister));
    EXPECT_EQ(DISP_E_EXCEPTION, Run(keys + std::string(100001 * 2, '}'), kRegister));
}

} // namespace
