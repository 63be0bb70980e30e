#include "tests/support/redirected_roots.h"

#include <gtest/gtest.h>

#include "tests/support/classes_view_route.h"
#include "tests/support/scratch_root.h"

namespace {

struct Root {
    HKEY key;
    const char* name;
};

const Root kRoots[RedirectedRoots::kCount] = {
    {HKEY_CLASSES_ROOT, "HKCR"},      {HKEY_CURRENT_USER, "HKCU"},
    {HKEY_LOCAL_MACHINE, "HKLM"},     {HKEY_USERS, "HKU"},
    {HKEY_PERFORMANCE_DATA, "HKPD"},  {HKEY_DYN_DATA, "HKDD"},
    {HKEY_CURRENT_CONFIG, "HKCC"},
};

const char kProbe[] = "TriveldRedirectionProbe";

} // namespace

HKEY RedirectedRoots::Predefined(int index)
{
    return kRoots[index].key;
}

const char* RedirectedRoots::Name(int index)
{
    return kRoots[index].name;
}

RedirectedRoots::RedirectedRoots()
{
    rootPath_ = NewScratchRootPath("roots");
    // Every scratch key is made before HKEY_CURRENT_USER is redirected.
    for (int index = 0; index < kCount; ++index) {
        const std::string path = rootPath_ + "\\" + kRoots[index].name;
        EXPECT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                  &scratch_[index], nullptr))
            << path;
    }
    for (int index = 0; index < kCount; ++index) {
        EXPECT_EQ(ERROR_SUCCESS, RegOverridePredefKey(kRoots[index].key, scratch_[index]))
            << kRoots[index].name;
        if (kRoots[index].key == HKEY_CLASSES_ROOT) {
            RouteViewedClassesOpens(GetModuleHandleW(nullptr));
            SetClassesStandIn(scratch_[index]);
        }
    }
}

RedirectedRoots::~RedirectedRoots()
{
    for (int index = 0; index < kCount; ++index) {
        RegOverridePredefKey(kRoots[index].key, nullptr);
    }
    SetClassesStandIn(nullptr);
    for (HKEY key : scratch_) {
        if (key != nullptr) {
            RegCloseKey(key);
        }
    }
    EXPECT_EQ(ERROR_SUCCESS, DeleteScratchRoot(rootPath_)) << "removing HKCU\\" << rootPath_;
}

bool RedirectedRoots::WritesStayInside() const
{
    bool redirected = true;
    for (int index = 0; index < kCount; ++index) {
        HKEY probe = nullptr;
        if (RegCreateKeyExA(kRoots[index].key, kProbe, 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &probe, nullptr) != ERROR_SUCCESS) {
            continue;
        }
        RegCloseKey(probe);
        HKEY seen = nullptr;
        if (RegOpenKeyExA(scratch_[index], kProbe, 0, KEY_READ, &seen) != ERROR_SUCCESS) {
            ADD_FAILURE() << kRoots[index].name << " is not redirected";
            redirected = false;
        } else {
            RegCloseKey(seen);
        }
        RegDeleteKeyA(kRoots[index].key, kProbe);
    }
    return redirected;
}

void RedirectedRoots::Clear() const
{
    for (HKEY key : scratch_) {
        RegDeleteTreeA(key, nullptr);
    }
}
