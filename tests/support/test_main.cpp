// Test entry point: a crash ends the process with a non-zero code (Wine may
// otherwise exit 0), with --gtest_repeat=2 every test's heap blocks are
// compared before and after it on the second pass, and a scratch registry
// root that the run leaves behind fails it.
#include <windows.h>

#include <cstdio>
#include <cstdint>

#include <gtest/gtest.h>

#include "tests/support/heap_census.h"
#include "tests/support/scratch_root.h"

namespace {

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* pointers)
{
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    std::fprintf(stderr, "CRASH: exception 0x%08lx in %s.%s\n",
                 pointers->ExceptionRecord->ExceptionCode,
                 test != nullptr ? test->test_suite_name() : "?",
                 test != nullptr ? test->name() : "?");
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

class LeakCheck : public testing::EmptyTestEventListener {
public:
    void OnTestIterationStart(const testing::UnitTest&, int iteration) override
    {
        iteration_ = iteration;
    }
    void OnTestStart(const testing::TestInfo&) override { before_ = BusyHeapBlocks(); }
    void OnTestEnd(const testing::TestInfo& test) override
    {
        if (iteration_ < 1 || !test.result()->Passed() || LeakCheckSuspended()) {
            return;
        }
        const long after = BusyHeapBlocks();
        EXPECT_EQ(before_, after) << "heap blocks before and after " << test.name();
    }

private:
    int iteration_ = 0;
    long before_ = 0;
};

// Runs after the last test: whatever root is still there was left by a test
// whose clean-up failed or never ran. Removed here, so that no later program
// meets it.
class ScratchRootCheck : public testing::Environment {
public:
    void TearDown() override
    {
        for (const std::string& root : RemoveRootsLeftByThisRun()) {
            ADD_FAILURE() << "scratch registry root left behind: HKCU\\Software\\TriveldTests\\"
                          << root;
        }
    }
};

} // namespace

int main(int argc, char** argv)
{
    SetUnhandledExceptionFilter(&ReportCrash);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new LeakCheck);
    testing::AddGlobalTestEnvironment(new ScratchRootCheck);
    return RUN_ALL_TESTS();
}
