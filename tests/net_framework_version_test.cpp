// NetFrameworkVersion: parsing of "Version" texts, the ordering of versions
// and reading one setup key.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "service/net_framework_record.h"
#include "tests/support/event_recorder.h"
#include "tests/support/scratch_registry.h"

namespace {

struct Numbers {
    DWORD major, minor, build, revision;
};

Numbers NumbersOf(const NetFrameworkVersion& version)
{
    return Numbers{version.major, version.minor, version.build, version.revision};
}

void ExpectNumbers(const Numbers& expected, const NetFrameworkVersion& version,
                   const char* text)
{
    EXPECT_EQ(expected.major, version.major) << text;
    EXPECT_EQ(expected.minor, version.minor) << text;
    EXPECT_EQ(expected.build, version.build) << text;
    EXPECT_EQ(expected.revision, version.revision) << text;
}

struct ParseCase {
    const char* text;
    HRESULT result;
    Numbers numbers;
};

void ExpectParses(const std::vector<ParseCase>& cases)
{
    for (const ParseCase& c : cases) {
        NetFrameworkVersion version;
        // Earlier numbers must not survive into a new parse.
        version.major = version.minor = version.build = version.revision = 99;
        EXPECT_EQ(c.result, version.ParseVersionText(c.text)) << c.text;
        ExpectNumbers(c.numbers, version, c.text);
    }
}

TEST(ParseVersionText, DottedNumbers)
{
    ExpectParses({
        {"4.8.03761", S_OK, {4, 8, 3761, 0}},
        {"2.0.50727.4927", S_OK, {2, 0, 50727, 4927}},
        {"007.0008", S_OK, {7, 8, 0, 0}},
        {"4..8...1", S_OK, {4, 8, 1, 0}},
        {"..4.8.", S_OK, {4, 8, 0, 0}},
        {".1.2.3.4.", S_OK, {1, 2, 3, 4}},
        {"", S_OK, {0, 0, 0, 0}},
        {"...", S_OK, {0, 0, 0, 0}},
    });
}

TEST(ParseVersionText, BlanksAndSigns)
{
    ExpectParses({
        {" 4.\t8.\r\n\v\f1", S_OK, {4, 8, 1, 0}},
        {"+4.+8", S_OK, {4, 8, 0, 0}},
        {"-1.-2", S_OK, {4294967295u, 4294967294u, 0, 0}},
        {" -4294967295", S_OK, {1, 0, 0, 0}},
        {"-0", S_OK, {0, 0, 0, 0}},
    });
}

TEST(ParseVersionText, NumbersAboveThirtyTwoBitsAreHeld)
{
    ExpectParses({
        {"4294967295.4294967296", S_OK, {4294967295u, 4294967295u, 0, 0}},
        {"99999999999999999999999.1", S_OK, {4294967295u, 1, 0, 0}},
        {"-4294967296", S_OK, {4294967295u, 0, 0, 0}},
        {"429496729.4294967290", S_OK, {429496729u, 4294967290u, 0, 0}},
    });
}

TEST(ParseVersionText, InvalidPartsKeepWhatCameBefore)
{
    ExpectParses({
        {"4.x", E_INVALIDARG, {4, 0, 0, 0}},
        {"1.2.3.4.5", E_INVALIDARG, {1, 2, 3, 4}},
        {"4.8 ", E_INVALIDARG, {4, 0, 0, 0}},
        {"4.8b.1", E_INVALIDARG, {4, 0, 0, 0}},
        {"4. .1", E_INVALIDARG, {4, 0, 0, 0}},
        {"4.+.1", E_INVALIDARG, {4, 0, 0, 0}},
        {"4.+-1", E_INVALIDARG, {4, 0, 0, 0}},
        {"0x10", E_INVALIDARG, {0, 0, 0, 0}},
        {"v4.0", E_INVALIDARG, {0, 0, 0, 0}},
    });
}

TEST(ParseVersionText, ConcurrentParsesDoNotDisturbEachOther)
{
    const char* texts[] = {"1.2.3.4", "5..6.7.8", "9.10.11", "12.x"};
    const Numbers expected[] = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 0}, {12, 0, 0, 0}};
    volatile LONG mismatches = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 20000; ++i) {
                NetFrameworkVersion version;
                version.ParseVersionText(texts[t]);
                const Numbers got = NumbersOf(version);
                if (got.major != expected[t].major || got.minor != expected[t].minor ||
                    got.build != expected[t].build || got.revision != expected[t].revision) {
                    InterlockedIncrement(&mismatches);
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(0, mismatches);
}

struct Fields {
    DWORD major, minor, build, revision, release;
};

void Assign(NetFrameworkVersion& version, const Fields& fields)
{
    version.major = fields.major;
    version.minor = fields.minor;
    version.build = fields.build;
    version.revision = fields.revision;
    version.release = fields.release;
}

// Whether `other` counts as newer than `version`.
bool Older(const Fields& version, const Fields& other)
{
    NetFrameworkVersion a;
    NetFrameworkVersion b;
    Assign(a, version);
    Assign(b, other);
    return a.IsOlderThan(b);
}

TEST(IsOlderThan, MajorAndMinorDecideFirst)
{
    EXPECT_TRUE(Older({3, 5, 30729, 4926, 0}, {4, 0, 0, 0, 0}));
    EXPECT_FALSE(Older({4, 0, 0, 0, 0}, {3, 5, 30729, 4926, 0}));
    EXPECT_TRUE(Older({4, 7, 9, 9, 999999}, {4, 8, 0, 0, 1}));
    EXPECT_FALSE(Older({4, 8, 0, 0, 1}, {4, 7, 9, 9, 999999}));
    // Unsigned comparison: a negated part is a large number.
    EXPECT_TRUE(Older({4, 8, 0, 0, 0}, {4294967295u, 0, 0, 0, 0}));
}

TEST(IsOlderThan, ReleasesDecideWhenBothHaveOne)
{
    EXPECT_TRUE(Older({4, 8, 9999, 9, 528040}, {4, 8, 1, 0, 528049}));
    EXPECT_FALSE(Older({4, 8, 1, 0, 528049}, {4, 8, 9999, 9, 528040}));
    // Equal releases: build and revision are not looked at.
    EXPECT_FALSE(Older({4, 8, 1, 0, 528040}, {4, 8, 3761, 5, 528040}));
}

TEST(IsOlderThan, BuildAndRevisionDecideWithoutBothReleases)
{
    EXPECT_TRUE(Older({4, 8, 3761, 0, 528040}, {4, 8, 4084, 0, 0}));
    EXPECT_FALSE(Older({4, 8, 4084, 0, 0}, {4, 8, 3761, 0, 528040}));
    EXPECT_TRUE(Older({4, 8, 4084, 1, 0}, {4, 8, 4084, 2, 0}));
    EXPECT_FALSE(Older({4, 8, 4084, 2, 0}, {4, 8, 4084, 1, 0}));
    EXPECT_FALSE(Older({4, 8, 4084, 2, 528040}, {4, 8, 4084, 2, 0}));
}

TEST(IsOlderThan, EqualVersionsAreNotNewer)
{
    EXPECT_FALSE(Older({4, 8, 3761, 0, 528040}, {4, 8, 3761, 0, 528040}));
    EXPECT_FALSE(Older({0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}));
}

TEST(NetFrameworkVersionRecord, CopyFormatAndZero)
{
    NetFrameworkVersion best;
    EXPECT_TRUE(best.IsZero());
    NetFrameworkVersion candidate;
    Assign(candidate, {4294967295u, 4294967295u, 4294967295u, 4294967295u, 4294967295u});
    candidate.install = 1;
    candidate.hasInstall = TRUE;
    best.CopyVersionFrom(candidate);
    EXPECT_FALSE(best.IsZero());
    EXPECT_FALSE(best.hasInstall);

    BSTR text = nullptr;
    ASSERT_EQ(S_OK, best.Format(&text));
    EXPECT_STREQ(L"4294967295.4294967295.4294967295.4294967295;4294967295", text);
    SysFreeString(text);

    Assign(best, {0, 0, 0, 1, 0});
    EXPECT_FALSE(best.IsZero());
    Assign(best, {0, 0, 0, 0, 528040});
    EXPECT_TRUE(best.IsZero());
}

const char kKeyPath[] = "NDP\\v4";

TEST(ReadFromKey, ReadsTheFourValues)
{
    ScratchRegistry registry;
    SetString(registry.MachineRoot(), kKeyPath, "Version", "4.8.03761");
    SetDword(registry.MachineRoot(), kKeyPath, "Release", 528040);
    SetDword(registry.MachineRoot(), kKeyPath, "SP", 0);
    SetDword(registry.MachineRoot(), kKeyPath, "Install", 0);
    NetFrameworkVersion version;
    EXPECT_EQ(S_OK, version.ReadFromKey(registry.MachineRoot(), kKeyPath));
    ExpectNumbers({4, 8, 3761, 0}, version, kKeyPath);
    EXPECT_EQ(528040u, version.release);
    EXPECT_TRUE(version.hasServicePack);
    EXPECT_TRUE(version.hasInstall);
    EXPECT_EQ(0u, version.install);
    EXPECT_NE(nullptr, version.key.Handle());
}

TEST(ReadFromKey, AbsentValuesLeaveZerosAndFlagsClear)
{
    ScratchRegistry registry;
    CreateKeyPath(registry.MachineRoot(), kKeyPath);
    NetFrameworkVersion version;
    EXPECT_EQ(S_OK, version.ReadFromKey(registry.MachineRoot(), kKeyPath));
    EXPECT_TRUE(version.IsZero());
    EXPECT_EQ(0u, version.release);
    EXPECT_FALSE(version.hasServicePack);
    EXPECT_FALSE(version.hasInstall);

    NetFrameworkVersion missing;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
              missing.ReadFromKey(registry.MachineRoot(), "NDP\\v9"));
    EXPECT_EQ(nullptr, missing.key.Handle());
}

TEST(ReadFromKey, ZeroByteVersionIsAnEmptyText)
{
    ScratchRegistry registry;
    EventRecorder recorder;
    SetRaw(registry.MachineRoot(), kKeyPath, "Version", REG_SZ, "", 0);
    SetDword(registry.MachineRoot(), kKeyPath, "Release", 528040);
    NetFrameworkVersion version;
    EXPECT_EQ(S_OK, version.ReadFromKey(registry.MachineRoot(), kKeyPath));
    EXPECT_TRUE(version.IsZero());
    EXPECT_EQ(528040u, version.release);
    EXPECT_TRUE(recorder.Events().empty());
}

TEST(ReadFromKey, HardFailureKeepsTheKeyOpen)
{
    ScratchRegistry registry;
    SetString(registry.MachineRoot(), kKeyPath, "Version", "4.8");
    SetString(registry.MachineRoot(), kKeyPath, "Install", "1");
    NetFrameworkVersion version;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_DATA),
              version.ReadFromKey(registry.MachineRoot(), kKeyPath));
    EXPECT_NE(nullptr, version.key.Handle());
    ExpectNumbers({4, 8, 0, 0}, version, kKeyPath);
    EXPECT_FALSE(version.hasInstall);

    version.Clear();
    EXPECT_EQ(nullptr, version.key.Handle());
    EXPECT_TRUE(version.IsZero());
}

TEST(ReadFromKey, ServicePackOfTheWrongSize)
{
    ScratchRegistry registry;
    const unsigned char eightBytes[8] = {1};
    SetRaw(registry.MachineRoot(), kKeyPath, "SP", REG_DWORD, eightBytes, sizeof(eightBytes));
    NetFrameworkVersion version;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_MORE_DATA),
              version.ReadFromKey(registry.MachineRoot(), kKeyPath));
    EXPECT_FALSE(version.hasServicePack);
}

} // namespace
