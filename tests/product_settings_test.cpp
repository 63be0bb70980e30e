// The DoNotUpgradeTo64 flag through real CWorkstationInfo objects, the real
// registry (HKEY_LOCAL_MACHINE redirected to a scratch key) and the event-log
// recorder; and the bounded formatter that builds the key path.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "service/platform_calls.h"
#include "service/platform_facts.h"
#include "service/product_bitness.h"
#include "service/safe_format.h"
#include "service/workstation_info.h"
#include "tests/support/denied_key_access.h"
#include "tests/support/event_recorder.h"
#include "tests/support/platform_fakes.h"
#include "tests/support/process_kind.h"
#include "tests/support/scratch_registry.h"

namespace {

const std::string kNativeRoot = "SOFTWARE\\Orvane";
const std::string kWow64Root = "SOFTWARE\\Wow6432Node\\Orvane";
const std::string kNativeKey = "SOFTWARE\\Orvane\\Velmar Distributed\\CurrentVersion";
const std::string kWow64Key = "SOFTWARE\\Wow6432Node\\Orvane\\Velmar Distributed\\CurrentVersion";
const char kValue[] = "DoNotUpgradeTo64";
const wchar_t kGetFailed[] = L"Call to CWorkstationInfo::GetDoNotUpgradeTo64 failed";
const wchar_t kSetFailed[] = L"Call to CWorkstationInfo::SetDoNotUpgradeTo64 failed";

// The entry an accessor writes for a failure: its text, the code in hex and
// the system's message when there is one.
std::wstring FailureText(const wchar_t* text, HRESULT code)
{
    return Composed(text) + ErrorSuffix(code);
}

// The stored flag as raw bytes; empty when absent.
std::string StoredFlag(const std::string& path, DWORD* type = nullptr, REGSAM view = 0)
{
    DWORD storedType = 0;
    std::string bytes;
    if (!ReadRaw(HKEY_LOCAL_MACHINE, path, kValue, &storedType, &bytes, view)) {
        return "";
    }
    if (type != nullptr) {
        *type = storedType;
    }
    return bytes;
}

std::string Dword(DWORD value)
{
    return std::string(reinterpret_cast<const char*>(&value), sizeof(value));
}

class ProductSettingsTest : public testing::Test {
protected:
    void SetUp() override
    {
        object_ = new CWorkstationInfo();
        object_->AddRef();
        ASSERT_EQ(S_OK, object_->FinalConstruct());
    }
    void TearDown() override { object_->Release(); }

    HRESULT Get(VARIANT_BOOL* flag)
    {
        *flag = 77;
        return object_->get_DoNotUpgradeTo64(flag);
    }

    void ExpectOneError(const wchar_t* text, HRESULT code)
    {
        const std::vector<RecordedEvent> events = recorder_.Events();
        ASSERT_EQ(1u, events.size());
        EXPECT_EQ(EVENTLOG_ERROR_TYPE, events[0].type);
        EXPECT_EQ(L"Triveld", events[0].source);
        EXPECT_EQ(FailureText(text, code), events[0].text);
    }

    ScratchRegistry scratch_;
    EventRecorder recorder_;
    FakePlatform platform_;
    CWorkstationInfo* object_ = nullptr;
};

TEST_F(ProductSettingsTest, FreshMachineReadsClearedWithoutEntry)
{
    platform_.IsWow64ProcessAnswers(FALSE);
    VARIANT_BOOL flag;
    EXPECT_EQ(S_FALSE, Get(&flag));
    EXPECT_EQ(VARIANT_FALSE, flag);

    // The key without the value is the same.
    CreateKeyPath(HKEY_LOCAL_MACHINE, kNativeKey);
    EXPECT_EQ(S_FALSE, Get(&flag));
    EXPECT_EQ(VARIANT_FALSE, flag);
    EXPECT_TRUE(recorder_.Events().empty());

    bool isSet = true;
    EXPECT_EQ(S_FALSE, PlatformFacts::GetDoNotUpgradeTo64(&isSet));
    EXPECT_FALSE(isSet);
    EXPECT_EQ(E_INVALIDARG, PlatformFacts::GetDoNotUpgradeTo64(nullptr));
}

TEST_F(ProductSettingsTest, WritingTrueCreatesTheKeysAndStoresOne)
{
    platform_.IsWow64ProcessAnswers(FALSE);
    EXPECT_EQ(S_OK, object_->put_DoNotUpgradeTo64(VARIANT_TRUE));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kNativeRoot));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kNativeRoot + "\\Velmar Distributed"));
    DWORD type = 0;
    EXPECT_EQ(Dword(1), StoredFlag(kNativeKey, &type));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);

    VARIANT_BOOL flag;
    EXPECT_EQ(S_OK, Get(&flag));
    EXPECT_EQ(VARIANT_TRUE, flag);
    EXPECT_TRUE(recorder_.Events().empty());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node"));
}

TEST_F(ProductSettingsTest, Wow64ProcessUsesTheWow6432NodeRootOnly)
{
    platform_.IsWow64ProcessAnswers(TRUE);
    EXPECT_EQ(S_OK, object_->put_DoNotUpgradeTo64(VARIANT_TRUE));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kWow64Root, kLiteralView));
    EXPECT_EQ(Dword(1), StoredFlag(kWow64Key, nullptr, kLiteralView));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kNativeRoot, kLiteralView));

    VARIANT_BOOL flag;
    EXPECT_EQ(S_OK, Get(&flag));
    EXPECT_EQ(VARIANT_TRUE, flag);

    // The other root's flag is not seen.
    SetDword(HKEY_LOCAL_MACHINE, kWow64Key, kValue, 0, kLiteralView);
    SetDword(HKEY_LOCAL_MACHINE, kNativeKey, kValue, 1, kLiteralView);
    EXPECT_EQ(S_OK, Get(&flag));
    EXPECT_EQ(VARIANT_FALSE, flag);
    EXPECT_TRUE(recorder_.Events().empty());
}

// The 64-bit DLL reads and writes the flag where the 32-bit one keeps it: its
// native root in the 32-bit view, which on 64-bit Windows lies under
// Wow6432Node. (A 32-bit process sees the two roots as one key.)
TEST_F(ProductSettingsTest, SixtyFourBitDllUsesTheThirtyTwoBitViewOnly)
{
    if (!kProcessIs64Bit) {
        GTEST_SKIP() << "the 32-bit DLL sees the 32-bit view as its own";
    }
    SetDword(HKEY_LOCAL_MACHINE, kNativeKey, kValue, 0);
    SetDword(HKEY_LOCAL_MACHINE, kWow64Key, kValue, 1);
    VARIANT_BOOL flag;
    EXPECT_EQ(S_OK, Get(&flag));
    EXPECT_EQ(VARIANT_TRUE, flag);

    EXPECT_EQ(S_OK, object_->put_DoNotUpgradeTo64(VARIANT_FALSE));
    EXPECT_EQ(Dword(0), StoredFlag(kWow64Key));
    EXPECT_EQ(S_OK, object_->put_DoNotUpgradeTo64(VARIANT_TRUE));
    EXPECT_EQ(Dword(1), StoredFlag(kWow64Key));
    EXPECT_EQ(Dword(0), StoredFlag(kNativeKey)) << "the 64-bit view's key was written";
}

TEST_F(ProductSettingsTest, OnlyDwordOneReadsAsSet)
{
    platform_.IsWow64ProcessAnswers(FALSE);
    struct Case {
        DWORD stored;
        VARIANT_BOOL expected;
    };
    const Case cases[] = {{1, VARIANT_TRUE}, {0, VARIANT_FALSE}, {2, VARIANT_FALSE},
                          {0xFFFFFFFF, VARIANT_FALSE}, {0x101, VARIANT_FALSE}};
    for (const Case& test : cases) {
        SetDword(HKEY_LOCAL_MACHINE, kNativeKey, kValue, test.stored);
        VARIANT_BOOL flag;
        EXPECT_EQ(S_OK, Get(&flag)) << test.stored;
        EXPECT_EQ(test.expected, flag) << test.stored;
    }
    EXPECT_TRUE(recorder_.Events().empty());
}

TEST_F(ProductSettingsTest, TextValueFailsWithInvalidDataAndOneEntry)
{
    platform_.IsWow64ProcessAnswers(FALSE);
    SetString(HKEY_LOCAL_MACHINE, kNativeKey, kValue, "1");
    VARIANT_BOOL flag;
    const HRESULT invalidData = static_cast<HRESULT>(0x8007000D);
    EXPECT_EQ(invalidData, Get(&flag));
    EXPECT_EQ(VARIANT_FALSE, flag);
    ExpectOneError(kGetFailed, invalidData);
}

TEST_F(ProductSettingsTest, ValuesOfOtherSizesFail)
{
    platform_.IsWow64ProcessAnswers(FALSE);
    const BYTE one[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    struct Case {
        const char* what;
        DWORD type;
        DWORD size;
        HRESULT expected;
    };
    const Case cases[] = {
        {"QWORD", REG_QWORD, 8, static_cast<HRESULT>(0x800700EA)},
        {"six-byte DWORD", REG_DWORD, 6, static_cast<HRESULT>(0x800700EA)},
        {"two-byte DWORD", REG_DWORD, 2, static_cast<HRESULT>(0x8007000D)},
        {"binary", REG_BINARY, 4, static_cast<HRESULT>(0x8007000D)},
    };
    for (const Case& test : cases) {
        recorder_.Clear();
        SetRaw(HKEY_LOCAL_MACHINE, kNativeKey, kValue, test.type, one, test.size);
        VARIANT_BOOL flag;
        EXPECT_EQ(test.expected, Get(&flag)) << test.what;
        EXPECT_EQ(VARIANT_FALSE, flag) << test.what;
        ExpectOneError(kGetFailed, test.expected);
    }
}

TEST_F(ProductSettingsTest, WritingFalseStoresZero)
{
    platform_.IsWow64ProcessAnswers(FALSE);
    ASSERT_EQ(S_OK, object_->put_DoNotUpgradeTo64(VARIANT_TRUE));
    EXPECT_EQ(S_OK, object_->put_DoNotUpgradeTo64(VARIANT_FALSE));
    DWORD type = 0;
    EXPECT_EQ(Dword(0), StoredFlag(kNativeKey, &type));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    VARIANT_BOOL flag;
    EXPECT_EQ(S_OK, Get(&flag));
    EXPECT_EQ(VARIANT_FALSE, flag);
    EXPECT_EQ(S_OK, PlatformFacts::SetDoNotUpgradeTo64(false));
    EXPECT_EQ(Dword(0), StoredFlag(kNativeKey));
}

TEST_F(ProductSettingsTest, EveryNonZeroVariantBoolStoresOne)
{
    platform_.IsWow64ProcessAnswers(FALSE);
    const VARIANT_BOOL values[] = {1, -2, 0x7FFF, VARIANT_TRUE};
    for (VARIANT_BOOL value : values) {
        ASSERT_EQ(S_OK, object_->put_DoNotUpgradeTo64(VARIANT_FALSE));
        EXPECT_EQ(S_OK, object_->put_DoNotUpgradeTo64(value)) << value;
        EXPECT_EQ(Dword(1), StoredFlag(kNativeKey)) << value;
    }
    EXPECT_TRUE(recorder_.Events().empty());
}

TEST_F(ProductSettingsTest, PartOfTheChainPresentKeepsItsContent)
{
    platform_.IsWow64ProcessAnswers(FALSE);
    SetDword(HKEY_LOCAL_MACHINE, kNativeRoot, "Vendor", 5);
    SetDword(HKEY_LOCAL_MACHINE, kNativeRoot + "\\Other Product", "Setting", 6);
    EXPECT_EQ(S_OK, object_->put_DoNotUpgradeTo64(VARIANT_TRUE));
    EXPECT_EQ(Dword(1), StoredFlag(kNativeKey));
    DWORD type = 0;
    std::string bytes;
    EXPECT_TRUE(ReadRaw(HKEY_LOCAL_MACHINE, kNativeRoot, "Vendor", &type, &bytes));
    EXPECT_EQ(Dword(5), bytes);
    EXPECT_TRUE(ReadRaw(HKEY_LOCAL_MACHINE, kNativeRoot + "\\Other Product", "Setting", &type,
                        &bytes));
}

TEST_F(ProductSettingsTest, DeniedReadFailsWithOneEntry)
{
    platform_.IsWow64ProcessAnswers(FALSE);
    SetDword(HKEY_LOCAL_MACHINE, kNativeKey, kValue, 1);
    DeniedKeyAccess denied(HKEY_LOCAL_MACHINE, kNativeKey, KEY_QUERY_VALUE);
    VARIANT_BOOL flag;
    const HRESULT accessDenied = static_cast<HRESULT>(0x80070005);
    EXPECT_EQ(accessDenied, Get(&flag));
    EXPECT_EQ(VARIANT_FALSE, flag);
    ExpectOneError(kGetFailed, accessDenied);
}

TEST_F(ProductSettingsTest, DeniedWriteFailsWithOneEntryAndChangesNothing)
{
    platform_.IsWow64ProcessAnswers(FALSE);
    SetDword(HKEY_LOCAL_MACHINE, kNativeKey, kValue, 1);
    DeniedKeyAccess denied(HKEY_LOCAL_MACHINE, kNativeKey, KEY_SET_VALUE);
    const HRESULT accessDenied = static_cast<HRESULT>(0x80070005);
    EXPECT_EQ(accessDenied, object_->put_DoNotUpgradeTo64(VARIANT_FALSE));
    ExpectOneError(kSetFailed, accessDenied);
    EXPECT_EQ(Dword(1), StoredFlag(kNativeKey));
}

TEST_F(ProductSettingsTest, VendorRootThatCannotBeCreatedFailsTheWrite)
{
    platform_.IsWow64ProcessAnswers(FALSE);
    // A non-volatile key cannot be created under a volatile one.
    HKEY software = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &software, nullptr));
    RegCloseKey(software);
    const HRESULT mustBeVolatile = static_cast<HRESULT>(0x800703FD);
    EXPECT_EQ(mustBeVolatile, object_->put_DoNotUpgradeTo64(VARIANT_TRUE));
    ExpectOneError(kSetFailed, mustBeVolatile);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kNativeRoot));
}

// Stands in for the WOW64 lookup and throws, as any failure inside the
// registry work might.
DWORD errorBeforeThrow = 0;

IsWow64ProcessFunction ThrowingLookup()
{
    SetLastError(errorBeforeThrow);
    throw 1;
}

TEST_F(ProductSettingsTest, ExceptionInTheRegistryWorkBecomesTheLastError)
{
    // The first exception of a process sets up the unwinder, which may change
    // the thread's last error on the way to the handler.
    try {
        throw 0;
    } catch (int) {
    }
    ActivePlatformCalls().findIsWow64Process = &ThrowingLookup;
    errorBeforeThrow = ERROR_NOT_ENOUGH_MEMORY;
    const HRESULT noMemory = static_cast<HRESULT>(0x80070008);
    VARIANT_BOOL flag;
    EXPECT_EQ(noMemory, Get(&flag));
    EXPECT_EQ(VARIANT_FALSE, flag);
    ExpectOneError(kGetFailed, noMemory);

    recorder_.Clear();
    EXPECT_EQ(noMemory, object_->put_DoNotUpgradeTo64(VARIANT_TRUE));
    ExpectOneError(kSetFailed, noMemory);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE"));
}

TEST_F(ProductSettingsTest, ExceptionWithoutRecordedErrorIsStillAFailure)
{
    ActivePlatformCalls().findIsWow64Process = &ThrowingLookup;
    errorBeforeThrow = ERROR_SUCCESS;
    bool isSet = true;
    EXPECT_EQ(E_FAIL, PlatformFacts::GetDoNotUpgradeTo64(&isSet));
    EXPECT_FALSE(isSet);
    EXPECT_EQ(E_FAIL, PlatformFacts::SetDoNotUpgradeTo64(true));
}

TEST_F(ProductSettingsTest, AccessorArgumentTestsComeFirst)
{
    EXPECT_EQ(E_INVALIDARG, object_->get_DoNotUpgradeTo64(nullptr));
    CWorkstationInfo* withoutSnapshot = new CWorkstationInfo();
    withoutSnapshot->AddRef();
    EXPECT_EQ(E_INVALIDARG, withoutSnapshot->get_DoNotUpgradeTo64(nullptr));
    VARIANT_BOOL flag = 77;
    EXPECT_EQ(E_FAIL, withoutSnapshot->get_DoNotUpgradeTo64(&flag));
    EXPECT_EQ(77, flag);
    EXPECT_EQ(E_FAIL, withoutSnapshot->put_DoNotUpgradeTo64(VARIANT_TRUE));
    withoutSnapshot->Release();
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE"));
    EXPECT_TRUE(recorder_.Events().empty());
}

// --- SafeFormat ---

TEST(SafeFormat, RefusedLimitsWriteNothing)
{
    char buffer[8];
    std::memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(E_INVALIDARG, SafeFormat(buffer, 0, "%s", "a"));
    EXPECT_EQ(E_INVALIDARG, SafeFormat(buffer, 0x80000000u, "%s", "a"));
    EXPECT_EQ(E_INVALIDARG, SafeFormat(buffer, sizeof(buffer), nullptr));
    EXPECT_EQ(E_INVALIDARG, SafeFormat(nullptr, sizeof(buffer), "%s", "a"));
    EXPECT_EQ(std::string(8, 'x'), std::string(buffer, sizeof(buffer)));
    // The largest limit is accepted.
    EXPECT_EQ(S_OK, SafeFormat(buffer, 0x7FFFFFFF, "%s", "ab"));
    EXPECT_STREQ("ab", buffer);
}

TEST(SafeFormat, ExactFitAndCutText)
{
    char buffer[8];
    std::memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(S_OK, SafeFormat(buffer, 6, "%s-%d", "ab", 12));
    EXPECT_STREQ("ab-12", buffer);
    EXPECT_EQ('x', buffer[6]);

    const HRESULT insufficient = static_cast<HRESULT>(0x8007007A);
    std::memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(insufficient, SafeFormat(buffer, 5, "%s-%d", "ab", 12));
    EXPECT_STREQ("ab-1", buffer);
    EXPECT_EQ('x', buffer[5]);

    EXPECT_EQ(insufficient, SafeFormat(buffer, 1, "%s", "a"));
    EXPECT_STREQ("", buffer);
    EXPECT_EQ(S_OK, SafeFormat(buffer, 1, "%s", ""));
    EXPECT_STREQ("", buffer);
}

} // namespace
