#ifndef TRIVELD_TESTS_PLATFORM_FAKES_H
#define TRIVELD_TESTS_PLATFORM_FAKES_H

#include <windows.h>

#include "service/platform_calls.h"

// Replaces the platform calls behind PlatformFacts and RunsUnderWow64 for
// the object's lifetime. Each option stands in for what this machine cannot
// produce; unset options keep the real call.
class FakePlatform {
public:
    FakePlatform();
    ~FakePlatform();

    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

    void MemoryQueryFails();
    void ReportTotalMemory(DWORDLONG bytes);
    void VersionQueryFails();
    void IsWow64ProcessMissing();
    void IsWow64ProcessFails();
    // IsWow64Process succeeds and writes this answer.
    void IsWow64ProcessAnswers(BOOL answer);

private:
    PlatformCalls saved_;
};

#endif
