// The per-object snapshot of memory and the 64-bit answer.
#include <windows.h>

#include <gtest/gtest.h>

#include "service/platform_facts.h"
#include "service/product_bitness.h"
#include "tests/support/platform_fakes.h"

namespace {

TEST(PlatformFacts, MemoryFigureComesFromTheSystem)
{
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof(status);
    ASSERT_TRUE(GlobalMemoryStatusEx(&status));
    PlatformFacts facts;
    EXPECT_EQ(static_cast<DWORD>(status.ullTotalPhys >> 20), facts.TotalPhysicalMemoryMb());
    EXPECT_GT(facts.TotalPhysicalMemoryMb(), 0u);
}

TEST(PlatformFacts, MemoryIsRoundedDownToWholeMebibytes)
{
    FakePlatform platform;
    platform.ReportTotalMemory(4ull << 30);
    EXPECT_EQ(4096u, PlatformFacts().TotalPhysicalMemoryMb());
    platform.ReportTotalMemory((3ull << 29) + (1u << 20) - 1);
    EXPECT_EQ(1536u, PlatformFacts().TotalPhysicalMemoryMb());
    // Only the low 32 bits of the MiB figure are kept.
    platform.ReportTotalMemory((1ull << 52) + (5ull << 20));
    EXPECT_EQ(5u, PlatformFacts().TotalPhysicalMemoryMb());
}

TEST(PlatformFacts, FailingMemoryQueryLeavesZero)
{
    FakePlatform platform;
    platform.MemoryQueryFails();
    EXPECT_EQ(0u, PlatformFacts().TotalPhysicalMemoryMb());
}

// The 64-bit DLL is on 64-bit Windows whatever IsWow64Process says; the
// 32-bit one exactly when it runs under WOW64.
TEST(PlatformFacts, Wow64AnswerInThisProcess)
{
    BOOL underWow64 = TRUE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &underWow64));
    EXPECT_EQ(underWow64 == TRUE, RunsUnderWow64());
    EXPECT_EQ(kProcessIs64Bit || underWow64 == TRUE, PlatformFacts().Is64Bit());
    EXPECT_TRUE(PlatformFacts().Is64Bit()) << "these tests run on 64-bit Wine";
}

TEST(PlatformFacts, Wow64ProcessCountsAs64BitWindows)
{
    FakePlatform platform;
    platform.IsWow64ProcessAnswers(TRUE);
    EXPECT_TRUE(RunsUnderWow64());
    EXPECT_TRUE(PlatformFacts().Is64Bit());
}

TEST(PlatformFacts, MissingOrFailingIsWow64ProcessMeansNot64BitUnderWow64)
{
    FakePlatform platform;
    platform.IsWow64ProcessMissing();
    EXPECT_FALSE(RunsUnderWow64());
    EXPECT_EQ(kProcessIs64Bit, PlatformFacts().Is64Bit());
    platform.IsWow64ProcessFails();
    EXPECT_FALSE(RunsUnderWow64());
    EXPECT_EQ(kProcessIs64Bit, PlatformFacts().Is64Bit());
}

TEST(PlatformFacts, FailingVersionQueryLeavesThe64BitFlagClear)
{
    FakePlatform platform;
    platform.IsWow64ProcessAnswers(TRUE);
    platform.VersionQueryFails();
    PlatformFacts facts;
    EXPECT_FALSE(facts.Is64Bit());
    EXPECT_GT(facts.TotalPhysicalMemoryMb(), 0u);
    // RunsUnderWow64 itself still answers; only the snapshot skips it.
    EXPECT_TRUE(RunsUnderWow64());
}

TEST(PlatformFacts, SnapshotDoesNotFollowLaterChanges)
{
    FakePlatform platform;
    platform.ReportTotalMemory(2ull << 30);
    PlatformFacts facts;
    platform.ReportTotalMemory(8ull << 30);
    EXPECT_EQ(2048u, facts.TotalPhysicalMemoryMb());
    EXPECT_EQ(2048u, facts.TotalPhysicalMemoryMb());
}

} // namespace
