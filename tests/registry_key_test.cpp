// RegistryKey and the error-code conversions, against the real registry with
// HKEY_LOCAL_MACHINE redirected to a scratch key.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "service/registry_key.h"
#include "tests/support/denied_key_access.h"
#include "tests/support/scratch_registry.h"

namespace {

// True while `key` is still an open handle of this process.
bool IsOpenHandle(HKEY key)
{
    DWORD subkeys = 0;
    return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool ValueExists(const std::string& path, const char* name)
{
    DWORD type = 0;
    std::string bytes;
    return ReadRaw(HKEY_LOCAL_MACHINE, path, name, &type, &bytes);
}

class RegistryKeyTest : public testing::Test {
protected:
    ScratchRegistry scratch_;
};

// --- holding rules ---

TEST_F(RegistryKeyTest, OpenWithOwnHandleAsParentHoldsOnlyTheChild)
{
    CreateKeyPath(HKEY_LOCAL_MACHINE, "Parent\\Child");
    RegistryKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_LOCAL_MACHINE, "Parent", KEY_READ | KEY_WRITE));
    const HKEY parent = key.Handle();

    EXPECT_EQ(ERROR_SUCCESS, key.OpenKey(key.Handle(), "Child", KEY_READ | KEY_WRITE));
    EXPECT_NE(parent, key.Handle());
    EXPECT_FALSE(IsOpenHandle(parent));
    ASSERT_EQ(ERROR_SUCCESS, key.WriteDword("Where", 7));
    EXPECT_TRUE(ValueExists("Parent\\Child", "Where"));
    EXPECT_FALSE(ValueExists("Parent", "Where"));
}

TEST_F(RegistryKeyTest, FailedOpenOrCreateKeepsTheHeldKey)
{
    CreateKeyPath(HKEY_LOCAL_MACHINE, "Held");
    RegistryKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_LOCAL_MACHINE, "Held", KEY_READ | KEY_WRITE));
    const HKEY held = key.Handle();

    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.OpenKey(HKEY_LOCAL_MACHINE, "Missing", KEY_READ));
    EXPECT_EQ(held, key.Handle());
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.OpenKey(key.Handle(), "Missing\\Deeper", KEY_READ));
    EXPECT_EQ(held, key.Handle());

    // A non-volatile key cannot live under a volatile one.
    HKEY volatileKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Volatile", 0, nullptr,
                                             REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                             &volatileKey, nullptr));
    RegCloseKey(volatileKey);
    DWORD disposition = 77;
    EXPECT_EQ(ERROR_CHILD_MUST_BE_VOLATILE,
              key.CreateKey(HKEY_LOCAL_MACHINE, "Volatile\\Child", nullptr, 0, KEY_WRITE, nullptr,
                            &disposition));
    EXPECT_EQ(held, key.Handle());
    EXPECT_EQ(77u, disposition);

    EXPECT_EQ(ERROR_SUCCESS, key.WriteDword("StillUsable", 1));
    EXPECT_TRUE(ValueExists("Held", "StillUsable"));
}

TEST_F(RegistryKeyTest, CreateReportsDispositionAndReplacesTheHeldKey)
{
    RegistryKey key;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, key.CreateKey(HKEY_LOCAL_MACHINE, "A\\B", nullptr, 0, KEY_WRITE,
                                           nullptr, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "A\\B"));
    const HKEY first = key.Handle();

    ASSERT_EQ(ERROR_SUCCESS, key.CreateKey(HKEY_LOCAL_MACHINE, "A\\B", nullptr, 0, KEY_WRITE,
                                           nullptr, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);
    EXPECT_FALSE(IsOpenHandle(first));

    // Without a disposition pointer, and with the held key as parent.
    ASSERT_EQ(ERROR_SUCCESS,
              key.CreateKey(key.Handle(), "C", nullptr, 0, KEY_WRITE, nullptr));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "A\\B\\C"));
}

TEST_F(RegistryKeyTest, OpenWithoutPathGivesANewHandleToTheParent)
{
    CreateKeyPath(HKEY_LOCAL_MACHINE, "Self");
    HKEY parent = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Self", 0, KEY_READ | KEY_WRITE, &parent));
    {
        RegistryKey key;
        ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(parent, nullptr, KEY_READ | KEY_WRITE));
        EXPECT_NE(parent, key.Handle());
        EXPECT_EQ(ERROR_SUCCESS, key.WriteDword("Mine", 3));
    }
    EXPECT_TRUE(IsOpenHandle(parent));
    EXPECT_TRUE(ValueExists("Self", "Mine"));
    RegCloseKey(parent);
}

TEST_F(RegistryKeyTest, CloseAndDestructionReleaseTheHandle)
{
    CreateKeyPath(HKEY_LOCAL_MACHINE, "Closed");
    RegistryKey empty;
    EXPECT_EQ(ERROR_SUCCESS, empty.CloseKey());
    EXPECT_EQ(nullptr, empty.Handle());

    HKEY held = nullptr;
    {
        RegistryKey key;
        ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_LOCAL_MACHINE, "Closed", KEY_READ));
        held = key.Handle();
        EXPECT_TRUE(IsOpenHandle(held));
    }
    EXPECT_FALSE(IsOpenHandle(held));

    RegistryKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_LOCAL_MACHINE, "Closed", KEY_READ));
    held = key.Handle();
    EXPECT_EQ(ERROR_SUCCESS, key.CloseKey());
    EXPECT_EQ(nullptr, key.Handle());
    EXPECT_FALSE(IsOpenHandle(held));
    EXPECT_EQ(ERROR_SUCCESS, key.CloseKey());
}

// --- DWORD values ---

class RegistryValueTest : public RegistryKeyTest {
protected:
    void SetUp() override
    {
        ASSERT_EQ(ERROR_SUCCESS, key_.CreateKey(HKEY_LOCAL_MACHINE, "Values", nullptr, 0,
                                                KEY_READ | KEY_WRITE, nullptr));
    }

    void SetValue(const char* name, DWORD type, const void* data, DWORD size)
    {
        SetRaw(HKEY_LOCAL_MACHINE, "Values", name, type, data, size);
    }

    std::string Stored(const char* name, DWORD* type)
    {
        std::string bytes;
        EXPECT_TRUE(ReadRaw(HKEY_LOCAL_MACHINE, "Values", name, type, &bytes)) << name;
        return bytes;
    }

    RegistryKey key_;
};

TEST_F(RegistryValueTest, DwordRoundTripStoresFourBytes)
{
    ASSERT_EQ(ERROR_SUCCESS, key_.WriteDword("Number", 0xDEADBEEF));
    DWORD type = 0;
    const std::string bytes = Stored("Number", &type);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    ASSERT_EQ(4u, bytes.size());
    DWORD value = 0;
    EXPECT_EQ(ERROR_SUCCESS, key_.ReadDword("Number", &value));
    EXPECT_EQ(0xDEADBEEFu, value);
}

TEST_F(RegistryValueTest, DwordReadRefusesOtherTypesAndSizes)
{
    SetValue("Short text", REG_SZ, "1", 2);
    SetValue("Four byte text", REG_SZ, "123", 4);
    SetValue("Long text", REG_SZ, "12345", 6);
    const BYTE six[6] = {1, 0, 0, 0, 0, 0};
    SetValue("Six byte dword", REG_DWORD, six, 6);
    SetValue("Two byte dword", REG_DWORD, six, 2);
    SetValue("Empty dword", REG_DWORD, six, 0);
    SetValue("Binary", REG_BINARY, six, 4);
    SetValue("Big endian", REG_DWORD_BIG_ENDIAN, six, 4);

    struct Case {
        const char* name;
        LONG expected;
    };
    const Case cases[] = {
        {"Short text", ERROR_INVALID_DATA},
        {"Four byte text", ERROR_INVALID_DATA},
        {"Long text", ERROR_MORE_DATA},
        {"Six byte dword", ERROR_MORE_DATA},
        // Part of the number would be missing: refused rather than half read.
        {"Two byte dword", ERROR_INVALID_DATA},
        {"Empty dword", ERROR_INVALID_DATA},
        {"Binary", ERROR_INVALID_DATA},
        {"Big endian", ERROR_INVALID_DATA},
        {"Missing", ERROR_FILE_NOT_FOUND},
    };
    for (const Case& test : cases) {
        DWORD value = 0x5A5A5A5A;
        EXPECT_EQ(test.expected, key_.ReadDword(test.name, &value)) << test.name;
        EXPECT_EQ(0x5A5A5A5Au, value) << test.name;
    }
    EXPECT_EQ(ERROR_INVALID_PARAMETER, key_.ReadDword("Binary", nullptr));
}

// --- strings ---

TEST_F(RegistryValueTest, WriteStringStoresTheTerminator)
{
    ASSERT_EQ(ERROR_SUCCESS, key_.WriteString("Text", "hello", REG_SZ));
    ASSERT_EQ(ERROR_SUCCESS, key_.WriteString("Expand", "%PATH%", REG_EXPAND_SZ));
    ASSERT_EQ(ERROR_SUCCESS, key_.WriteString("Empty", "", REG_SZ));
    DWORD type = 0;
    EXPECT_EQ(std::string("hello", 6), Stored("Text", &type));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(std::string("%PATH%", 7), Stored("Expand", &type));
    EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), type);
    EXPECT_EQ(std::string("", 1), Stored("Empty", &type));

    EXPECT_EQ(ERROR_INVALID_PARAMETER, key_.WriteString("Null", nullptr, REG_SZ));
    EXPECT_FALSE(ValueExists("Values", "Null"));
}

TEST_F(RegistryValueTest, MultiStringStoresUpToTheClosingEmptyString)
{
    static const char list[] = "a\0bc\0";  // the literal's own zero closes the list
    ASSERT_EQ(ERROR_SUCCESS, key_.WriteMultiString("List", list, sizeof(list)));
    DWORD type = 0;
    EXPECT_EQ(std::string("a\0bc\0\0", 6), Stored("List", &type));
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), type);

    // Whatever follows the closing empty string is not stored.
    static const char trailing[] = "x\0\0junk\0";
    ASSERT_EQ(ERROR_SUCCESS, key_.WriteMultiString("Trailing", trailing, sizeof(trailing)));
    EXPECT_EQ(std::string("x\0\0", 3), Stored("Trailing", &type));

    ASSERT_EQ(ERROR_SUCCESS, key_.WriteMultiString("Only end", "", 1));
    EXPECT_EQ(std::string("\0", 1), Stored("Only end", &type));
}

TEST_F(RegistryValueTest, MultiStringWithoutClosingEmptyStringIsRefused)
{
    // Each bound stops before the list's closing empty string.
    static const char list[] = "a\0bc\0";
    for (size_t bound = 0; bound < sizeof(list); ++bound) {
        EXPECT_EQ(ERROR_INVALID_PARAMETER, key_.WriteMultiString("List", list, bound)) << bound;
    }
    const char unterminated[3] = {'a', 'b', 'c'};
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              key_.WriteMultiString("List", unterminated, sizeof(unterminated)));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, key_.WriteMultiString("List", nullptr, 8));
    EXPECT_FALSE(ValueExists("Values", "List"));
}

TEST_F(RegistryValueTest, ReadStringReportsTextAndSize)
{
    ASSERT_EQ(ERROR_SUCCESS, key_.WriteString("Text", "hello", REG_SZ));
    ASSERT_EQ(ERROR_SUCCESS, key_.WriteString("Expand", "%TEMP%", REG_EXPAND_SZ));

    char buffer[16];
    std::memset(buffer, 'x', sizeof(buffer));
    DWORD size = sizeof(buffer);
    ASSERT_EQ(ERROR_SUCCESS, key_.ReadString("Text", buffer, &size));
    EXPECT_EQ(6u, size);
    EXPECT_STREQ("hello", buffer);

    size = 7;
    ASSERT_EQ(ERROR_SUCCESS, key_.ReadString("Expand", buffer, &size));
    EXPECT_EQ(7u, size);
    EXPECT_STREQ("%TEMP%", buffer);

    // Without a buffer the size the value needs.
    size = 0;
    EXPECT_EQ(ERROR_SUCCESS, key_.ReadString("Text", nullptr, &size));
    EXPECT_EQ(6u, size);
}

TEST_F(RegistryValueTest, ReadStringFailuresLeaveSizeZero)
{
    ASSERT_EQ(ERROR_SUCCESS, key_.WriteString("Text", "hello", REG_SZ));
    ASSERT_EQ(ERROR_SUCCESS, key_.WriteDword("Number", 1));
    // Stored without its terminator: the byte after the three given is not zero.
    SetValue("Unterminated", REG_SZ, "abcX", 3);
    const char multi[] = "a\0";
    SetValue("Multi", REG_MULTI_SZ, multi, sizeof(multi));

    struct Case {
        const char* name;
        DWORD capacity;
        LONG expected;
    };
    const Case cases[] = {
        {"Text", 5, ERROR_MORE_DATA},
        {"Number", 16, ERROR_INVALID_DATA},
        {"Multi", 16, ERROR_INVALID_DATA},
        {"Unterminated", 16, ERROR_INVALID_DATA},
        {"Unterminated", 3, ERROR_INVALID_DATA},
        {"Missing", 16, ERROR_FILE_NOT_FOUND},
    };
    for (const Case& test : cases) {
        char buffer[16];
        DWORD size = test.capacity;
        EXPECT_EQ(test.expected, key_.ReadString(test.name, buffer, &size)) << test.name;
        EXPECT_EQ(0u, size) << test.name;
    }
    char buffer[4];
    EXPECT_EQ(ERROR_INVALID_PARAMETER, key_.ReadString("Text", buffer, nullptr));
}

TEST_F(RegistryValueTest, ZeroByteStringReadsAsEmptyText)
{
    SetValue("Nothing", REG_SZ, "", 0);
    char buffer[8];
    std::memset(buffer, 'x', sizeof(buffer));
    DWORD size = sizeof(buffer);
    EXPECT_EQ(ERROR_SUCCESS, key_.ReadString("Nothing", buffer, &size));
    EXPECT_EQ(0u, size);
    EXPECT_EQ('\0', buffer[0]);

    size = 0;
    EXPECT_EQ(ERROR_SUCCESS, key_.ReadString("Nothing", buffer, &size));
    EXPECT_EQ(0u, size);
}

// --- DeleteTree ---

TEST_F(RegistryKeyTest, DeleteTreeRemovesNestedSubkeysOnly)
{
    CreateKeyPath(HKEY_LOCAL_MACHINE, "Top\\Tree\\One\\Deep\\Deeper");
    CreateKeyPath(HKEY_LOCAL_MACHINE, "Top\\Tree\\Two");
    SetDword(HKEY_LOCAL_MACHINE, "Top\\Tree\\One\\Deep", "Value", 1);
    SetDword(HKEY_LOCAL_MACHINE, "Top\\Tree", "Value", 1);
    CreateKeyPath(HKEY_LOCAL_MACHINE, "Top\\Sibling");
    CreateKeyPath(HKEY_LOCAL_MACHINE, "Top\\Treetop");

    RegistryKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_LOCAL_MACHINE, "Top", KEY_READ | KEY_WRITE));
    EXPECT_EQ(ERROR_SUCCESS, key.DeleteTree("Tree"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Top\\Tree"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "Top\\Sibling"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "Top\\Treetop"));

    // A path below the held key names the subkey to remove.
    CreateKeyPath(HKEY_LOCAL_MACHINE, "Top\\Sibling\\Inner\\Leaf");
    EXPECT_EQ(ERROR_SUCCESS, key.DeleteTree("Sibling\\Inner"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Top\\Sibling\\Inner"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "Top\\Sibling"));
}

// Subkey names may be up to 255 characters long; each must be enumerated whole
// for its own subtree to be removed.
TEST_F(RegistryKeyTest, DeleteTreeRemovesSubkeysWithNamesUpTo255Characters)
{
    const std::string names[] = {std::string(127, 'a'), std::string(128, 'b'),
                                 std::string(200, 'c'), std::string(255, 'd')};
    for (const std::string& name : names) {
        CreateKeyPath(HKEY_LOCAL_MACHINE, "Top\\Tree\\" + name + "\\" + name);
    }
    RegistryKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_LOCAL_MACHINE, "Top", KEY_READ | KEY_WRITE));
    EXPECT_EQ(ERROR_SUCCESS, key.DeleteTree("Tree"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Top\\Tree"));
}

TEST_F(RegistryKeyTest, DeleteTreeOfMissingOrEmptyNameDeletesNothing)
{
    CreateKeyPath(HKEY_LOCAL_MACHINE, "Top\\Child\\Grandchild");
    RegistryKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_LOCAL_MACHINE, "Top", KEY_READ | KEY_WRITE));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.DeleteTree("Missing"));
    // The system would take an empty name for the held key itself.
    EXPECT_EQ(ERROR_INVALID_PARAMETER, key.DeleteTree(""));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, key.DeleteTree(nullptr));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "Top\\Child\\Grandchild"));
}

TEST_F(RegistryKeyTest, DeleteTreeStopsAtTheFirstSubtreeItCannotOpen)
{
    CreateKeyPath(HKEY_LOCAL_MACHINE, "Top\\Tree\\A\\Leaf");
    CreateKeyPath(HKEY_LOCAL_MACHINE, "Top\\Tree\\B\\Leaf");
    RegistryKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_LOCAL_MACHINE, "Top", KEY_READ | KEY_WRITE));
    {
        DeniedKeyAccess locked(HKEY_LOCAL_MACHINE, "Top\\Tree\\B", KEY_ENUMERATE_SUB_KEYS);
        EXPECT_EQ(ERROR_ACCESS_DENIED, key.DeleteTree("Tree"));
    }
    // Subkeys are visited in name order: A went before B was reached.
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Top\\Tree\\A"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "Top\\Tree\\B\\Leaf"));
    EXPECT_EQ(ERROR_SUCCESS, key.DeleteTree("Tree"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Top\\Tree"));
}

// --- error codes ---

TEST(ErrorCodes, Win32CodesBecomeWin32FacilityResults)
{
    EXPECT_EQ(static_cast<HRESULT>(0x80070005), Win32ToHresult(ERROR_ACCESS_DENIED));
    EXPECT_EQ(static_cast<HRESULT>(0x80070002), Win32ToHresult(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(static_cast<HRESULT>(0x800700EA), Win32ToHresult(ERROR_MORE_DATA));
    // Only the low 16 bits of a positive code are kept.
    EXPECT_EQ(static_cast<HRESULT>(0x80072345), Win32ToHresult(0x12345));
    EXPECT_EQ(S_OK, Win32ToHresult(0));
    EXPECT_EQ(E_FAIL, Win32ToHresult(static_cast<LONG>(E_FAIL)));
    EXPECT_EQ(static_cast<HRESULT>(0xC0000005), Win32ToHresult(static_cast<LONG>(0xC0000005)));
}

TEST(ErrorCodes, LastErrorResults)
{
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(static_cast<HRESULT>(0x80070005), LastErrorHresult());
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(static_cast<HRESULT>(0x80070005), LastFailureHresult());
    SetLastError(0);
    EXPECT_EQ(S_OK, LastErrorHresult());
    // A failure with no recorded error must still read as a failure.
    SetLastError(0);
    EXPECT_EQ(E_FAIL, LastFailureHresult());
    SetLastError(static_cast<DWORD>(E_OUTOFMEMORY));
    EXPECT_EQ(E_OUTOFMEMORY, LastFailureHresult());
}

} // namespace
