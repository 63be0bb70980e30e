#ifndef TRIVELD_TESTS_PROCESS_KIND_H
#define TRIVELD_TESTS_PROCESS_KIND_H

#include <windows.h>

#include <oleauto.h>

// The answers that depend by design on the process a test program runs in.
// Both builds run under 64-bit Wine: the x86_64 programs in 64-bit processes,
// the i686 ones (the product's kind) in 32-bit processes under WoW64.
#ifdef _WIN64
constexpr bool kUnderWow64 = false;
constexpr SYSKIND kTypeLibSysKind = SYS_WIN64;
constexpr char kTypeLibPlatform[] = "win64";
#else
constexpr bool kUnderWow64 = true;
constexpr SYSKIND kTypeLibSysKind = SYS_WIN32;
constexpr char kTypeLibPlatform[] = "win32";
#endif

// The key of the DoNotUpgradeTo64 flag for this process.
constexpr const char* kSettingsKey =
    kUnderWow64 ? "SOFTWARE\\Wow6432Node\\Orvane\\Velmar Distributed\\CurrentVersion"
                : "SOFTWARE\\Orvane\\Velmar Distributed\\CurrentVersion";

#endif
