// get_NetVersion over setup keys written to a scratch HKEY_LOCAL_MACHINE,
// with the result text, the HRESULT and every event-log entry checked.
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "service/workstation_info.h"
#include "tests/support/event_recorder.h"
#include "tests/support/scratch_registry.h"

namespace {

const char kRoot[] = "SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\";
// The root as it appears in texts: it ends with a backslash of its own.
const std::wstring kLoggedRoot = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\";

const HRESULT kMoreData = HRESULT_FROM_WIN32(ERROR_MORE_DATA);
const HRESULT kInvalidData = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

struct Expected {
    WORD type;
    HRESULT code;
    std::wstring text;
};

// The full text the reporter composes: the code and the system's text for it follow.
std::wstring ComposedWithCode(const std::wstring& text, HRESULT code)
{
    return Composed(text) + (code == 0 ? std::wstring() : ErrorSuffix(code));
}

Expected Returned(const std::wstring& text)
{
    return {EVENTLOG_INFORMATION_TYPE, 0,
            L"Call to CWorkstationInfo::get_NetVersion returned '" + text + L"'"};
}

Expected ReadWarning(const std::wstring& path, HRESULT code)
{
    return {EVENTLOG_WARNING_TYPE, code,
            L"Call to CWorkstationInfo::get_NetVersion failed to open and read '" + kLoggedRoot +
                L"\\" + path + L"' key"};
}

Expected InvalidVersion(const std::wstring& text, const std::wstring& name)
{
    return {EVENTLOG_WARNING_TYPE, E_INVALIDARG,
            L"Invalid .Net version " + text + L" for '" + name + L"' key"};
}

class NetVersionTest : public ::testing::Test {
protected:
    NetVersionTest() : object_(new CWorkstationInfo()) { object_->AddRef(); }
    ~NetVersionTest() override { object_->Release(); }

    // A version key under the root; `path` such as "v4\\Full".
    void Key(const std::string& path, const char* version, int install, int servicePack = -1,
             DWORD release = 0)
    {
        const std::string full = kRoot + path;
        CreateKeyPath(registry_.MachineRoot(), full);
        if (version != nullptr) {
            SetString(registry_.MachineRoot(), full, "Version", version);
        }
        if (install >= 0) {
            SetDword(registry_.MachineRoot(), full, "Install", static_cast<DWORD>(install));
        }
        if (servicePack >= 0) {
            SetDword(registry_.MachineRoot(), full, "SP", static_cast<DWORD>(servicePack));
        }
        if (release != 0) {
            SetDword(registry_.MachineRoot(), full, "Release", release);
        }
    }

    void Raw(const std::string& path, const char* name, DWORD type, const void* data, DWORD size)
    {
        SetRaw(registry_.MachineRoot(), kRoot + path, name, type, data, size);
    }

    // The classic set: two finished first-level versions and v4\Full.
    void ClassicSet()
    {
        Key("v2.0.50727", "2.0.50727.4927", 1, 2);
        Key("v3.5", "3.5.30729.4926", 1, 1);
        Key("v4\\Full", "4.8.03761", 1, -1, 528040);
    }

    // Runs the member and checks its result, its out-value and every entry.
    void Expect(HRESULT result, const wchar_t* text, const std::vector<Expected>& entries)
    {
        recorder_.Clear();
        BSTR answer = SysAllocString(L"stale");
        EXPECT_EQ(result, object_->get_NetVersion(&answer));
        if (text == nullptr) {
            EXPECT_EQ(nullptr, answer);
        } else {
            EXPECT_STREQ(text, answer);
        }
        SysFreeString(answer);

        const std::vector<RecordedEvent> events = recorder_.Events();
        ASSERT_EQ(entries.size(), events.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(entries[i].type, events[i].type) << i;
            EXPECT_EQ(kEventSourceName, events[i].source) << i;
            EXPECT_EQ(ComposedWithCode(entries[i].text, entries[i].code), events[i].text) << i;
        }
    }

    // Answers with `text`, writing only the Information entry.
    void ExpectQuietly(const wchar_t* text) { Expect(S_OK, text, {Returned(text)}); }

    // The subkey of `path` that the registry enumerates first.
    std::string FirstSubkey(const std::string& path)
    {
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_SUCCESS,
                  RegOpenKeyExA(registry_.MachineRoot(), (kRoot + path).c_str(), 0, KEY_READ,
                                &key));
        char name[256] = {};
        DWORD size = sizeof(name);
        EXPECT_EQ(ERROR_SUCCESS,
                  RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr));
        RegCloseKey(key);
        return name;
    }

    ScratchRegistry registry_;
    EventRecorder recorder_;
    CWorkstationInfo* object_;
};

TEST_F(NetVersionTest, ClassicSetGivesTheNewestWithItsRelease)
{
    ClassicSet();
    ExpectQuietly(L"4.8.3761.0;528040");
}

TEST_F(NetVersionTest, WithoutVersionFourTheNewestFinishedKeyWins)
{
    Key("v2.0.50727", "2.0.50727.4927", 1, 2);
    Key("v3.5", "3.5.30729.4926", 1, 1);
    ExpectQuietly(L"3.5.30729.4926;0");
}

TEST_F(NetVersionTest, ClientAndFullAlike)
{
    Key("v4\\Client", "4.8.03761", 1, -1, 528040);
    Key("v4\\Full", "4.8.03761", 1, -1, 528040);
    ExpectQuietly(L"4.8.3761.0;528040");
}

TEST_F(NetVersionTest, GreaterReleaseWinsWhateverTheBuild)
{
    Key("v4\\Client", "4.8.9999.9", 1, -1, 528040);
    Key("v4\\Full", "4.8.1", 1, -1, 528049);
    ExpectQuietly(L"4.8.1.0;528049");
}

TEST_F(NetVersionTest, GreaterReleaseWinsInTheOtherOrderToo)
{
    Key("v4\\Client", "4.8.1", 1, -1, 528049);
    Key("v4\\Full", "4.8.9999.9", 1, -1, 528040);
    ExpectQuietly(L"4.8.1.0;528049");
}

TEST_F(NetVersionTest, ReleasesNotComparedWhenOneIsMissing)
{
    Key("v4\\Client", "4.8.3761", 1, -1, 528040);
    Key("v4\\Full", "4.8.4084", 1);
    ASSERT_EQ("Client", FirstSubkey("v4"));
    ExpectQuietly(L"4.8.4084.0;0");
}

TEST_F(NetVersionTest, ReleasesNotComparedWhenOneIsMissingReversed)
{
    Key("v4\\Client", "4.8.4084", 1);
    Key("v4\\Full", "4.8.3761", 1, -1, 528040);
    ASSERT_EQ("Client", FirstSubkey("v4"));
    ExpectQuietly(L"4.8.4084.0;0");
}

TEST_F(NetVersionTest, InstallWithoutServicePackIsExaminedBelow)
{
    // Not a candidate of its own: 9.9 would win otherwise.
    Key("v4", "9.9", 1);
    ExpectQuietly(L"0.0.0.0;0");
    Key("v4\\Full", "4.8.03761", 1, -1, 528040);
    ExpectQuietly(L"4.8.3761.0;528040");
}

TEST_F(NetVersionTest, InstallOtherThanOneWithServicePackIsExaminedBelow)
{
    for (int install : {0, 2}) {
        SCOPED_TRACE(install);
        Key("v4", "9.9", install, 1);
        Key("v4\\Full", "4.8.03761", 1, -1, 528040);
        ExpectQuietly(L"4.8.3761.0;528040");
    }
}

TEST_F(NetVersionTest, SecondLevelNeedsInstallOne)
{
    Key("v4\\Client", "4.9", 0);
    Key("v4\\Full", "4.8", -1);
    Key("v4\\Other", "4.7", 2);
    ExpectQuietly(L"0.0.0.0;0");
}

TEST_F(NetVersionTest, OnlyLowerCaseVKeysAreRead)
{
    Key("V9.0", "9.0", 1, 1);
    Key("CDF", "9.1", 1, 1);
    Key("x4\\Full", "9.2", 1);
    Key("v3.5", "3.5.30729.4926", 1, 1);
    ExpectQuietly(L"3.5.30729.4926;0");
}

TEST_F(NetVersionTest, InvalidVersionKeepsItsLeadingNumber)
{
    Key("v4", "4.x", 1, 0);
    Key("v3.5", "3.5.30729.4926", 1, 1);
    Expect(S_OK, L"4.0.0.0;0", {InvalidVersion(L"4.x", L"v4"), Returned(L"4.0.0.0;0")});
}

TEST_F(NetVersionTest, FivePartVersionCountsAsItsFirstFour)
{
    Key("v4\\Full", "1.2.3.4.5", 1);
    Expect(S_OK, L"1.2.3.4;0", {InvalidVersion(L"1.2.3.4.5", L"Full"), Returned(L"1.2.3.4;0")});
}

TEST_F(NetVersionTest, LongestVersionTextIsRead)
{
    const std::string text = "4.8." + std::string(26, '0') + "1";
    ASSERT_EQ(31u, text.size());
    Key("v4\\Full", text.c_str(), 1);
    ExpectQuietly(L"4.8.1.0;0");
}

TEST_F(NetVersionTest, VersionOfWrongSizeOrTypeSkipsTheKey)
{
    Key("v3.5", "3.5.30729.4926", 1, 1);
    const std::string tooLong = "4.8." + std::string(27, '0') + "1";
    Key("v4", tooLong.c_str(), 1, 1);
    Key("v4.5\\Full", nullptr, 1);
    const DWORD number = 4;
    Raw("v4.5\\Full", "Version", REG_DWORD, &number, sizeof(number));
    Expect(S_OK, L"3.5.30729.4926;0",
           {ReadWarning(L"v4", kMoreData), ReadWarning(L"v4.5\\Full", kInvalidData),
            Returned(L"3.5.30729.4926;0")});
}

TEST_F(NetVersionTest, UnterminatedVersionSkipsTheKey)
{
    Key("v4", nullptr, 1, 1);
    const char full[32] = {'4', '.', '8', '.', '1', '1', '1', '1', '1', '1', '1', '1',
                           '1', '1', '1', '1', '1', '1', '1', '1', '1', '1', '1', '1',
                           '1', '1', '1', '1', '1', '1', '1', '1'};
    Raw("v4", "Version", REG_SZ, full, sizeof(full));
    Expect(S_OK, L"0.0.0.0;0", {ReadWarning(L"v4", kInvalidData), Returned(L"0.0.0.0;0")});
}

TEST_F(NetVersionTest, ReleaseStoredAsTextSkipsTheKey)
{
    Key("v4\\Client", "4.8.1", 1);
    SetString(registry_.MachineRoot(), std::string(kRoot) + "v4\\Client", "Release", "528049");
    Key("v4\\Full", "4.8.2", 1);
    SetString(registry_.MachineRoot(), std::string(kRoot) + "v4\\Full", "Release", "5");
    Key("v3.5", "3.5.30729.4926", 1, 1);
    Expect(S_OK, L"3.5.30729.4926;0",
           {ReadWarning(L"v4\\Client", kMoreData), ReadWarning(L"v4\\Full", kInvalidData),
            Returned(L"3.5.30729.4926;0")});
}

TEST_F(NetVersionTest, FirstLevelReadFailureSkipsItsSubkeys)
{
    Key("v4", "4.0", 1, -1);
    SetString(registry_.MachineRoot(), std::string(kRoot) + "v4", "SP", "1");
    Key("v4\\Full", "4.8.03761", 1, -1, 528040);
    Expect(S_OK, L"0.0.0.0;0", {ReadWarning(L"v4", kInvalidData), Returned(L"0.0.0.0;0")});
}

TEST_F(NetVersionTest, ExpandableVersionIsTakenUnexpanded)
{
    ASSERT_TRUE(SetEnvironmentVariableA("TRIVELD_NET_BUILD", "9"));
    Key("v4\\Full", nullptr, 1);
    SetString(registry_.MachineRoot(), std::string(kRoot) + "v4\\Full", "Version",
              "4.8.%TRIVELD_NET_BUILD%", REG_EXPAND_SZ);
    Expect(S_OK, L"4.8.0.0;0",
           {InvalidVersion(L"4.8.%TRIVELD_NET_BUILD%", L"Full"), Returned(L"4.8.0.0;0")});
    SetEnvironmentVariableA("TRIVELD_NET_BUILD", nullptr);
}

TEST_F(NetVersionTest, ZeroByteVersionIsEmpty)
{
    Key("v4\\Full", nullptr, 1, -1, 528040);
    Raw("v4\\Full", "Version", REG_SZ, "", 0);
    ExpectQuietly(L"0.0.0.0;0");
    Key("v4\\Client", "4.8.1", 1, -1, 528040);
    ExpectQuietly(L"4.8.1.0;528040");
}

TEST_F(NetVersionTest, FinishedKeyWithoutVersionIsNoCandidate)
{
    // Its release would beat the one found below v4, which has the same major.minor.
    Key("v4\\Full", "0.0.0.1", 1, -1, 528040);
    Key("v5", "0", 1, 0, 533320);
    ExpectQuietly(L"0.0.0.1;528040");
}

TEST_F(NetVersionTest, EmptyRootAnswersZero)
{
    CreateKeyPath(registry_.MachineRoot(), kRoot);
    ExpectQuietly(L"0.0.0.0;0");
}

TEST_F(NetVersionTest, MissingRootFails)
{
    CreateKeyPath(registry_.MachineRoot(), "SOFTWARE\\Microsoft");
    const HRESULT notFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    Expect(notFound, nullptr,
           {{EVENTLOG_ERROR_TYPE, notFound,
             L"Call to CWorkstationInfo::get_NetVersion failed to open '" + kLoggedRoot +
                 L"' key"}});
}

TEST_F(NetVersionTest, LongestSecondLevelNameIsRead)
{
    Key("v4\\" + std::string(127, 'F'), "4.8.1", 1);
    ExpectQuietly(L"4.8.1.0;0");
}

TEST_F(NetVersionTest, OverlongSecondLevelNameFailsTheWalk)
{
    ClassicSet();
    Key("v4\\" + std::string(128, 'z'), "4.8.9", 1);
    Expect(kMoreData, nullptr,
           {{EVENTLOG_WARNING_TYPE, kMoreData,
             L"Call to CWorkstationInfo::get_NetVersion failed to enumerate '" + kLoggedRoot +
                 L"\\v4' subkeys at 1"}});
}

TEST_F(NetVersionTest, OverlongFirstLevelNameFailsTheWalk)
{
    Key("v3.5", "3.5.30729.4926", 1, 1);
    Key(std::string(128, 'w'), "4.8", 1, 1);
    Expect(kMoreData, nullptr,
           {{EVENTLOG_ERROR_TYPE, kMoreData,
             L"Call to CWorkstationInfo::get_NetVersion failed to enumerate '" + kLoggedRoot +
                 L"' subkeys at 1"}});
}

} // namespace
