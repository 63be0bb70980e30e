#ifndef TRIVELD_TESTS_DENIED_KEY_ACCESS_H
#define TRIVELD_TESTS_DENIED_KEY_ACCESS_H

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Denies everyone the given access rights on one key for the object's
// lifetime (Wine checks key security on open), then restores the key's own
// access list so that the scratch tree can be deleted.
class DeniedKeyAccess {
public:
    DeniedKeyAccess(HKEY root, const std::string& path, REGSAM denied)
    {
        EXPECT_EQ(ERROR_SUCCESS,
                  RegOpenKeyExA(root, path.c_str(), 0, READ_CONTROL | WRITE_DAC, &key_))
            << path;
        DWORD size = 0;
        RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, nullptr, &size);
        saved_.resize(size);
        EXPECT_EQ(ERROR_SUCCESS,
                  RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, saved_.data(), &size));

        DWORD sidSize = sizeof(sid_);
        EXPECT_TRUE(CreateWellKnownSid(WinWorldSid, nullptr, sid_, &sidSize));
        PACL acl = reinterpret_cast<PACL>(acl_);
        EXPECT_TRUE(InitializeAcl(acl, sizeof(acl_), ACL_REVISION));
        EXPECT_TRUE(AddAccessDeniedAce(acl, ACL_REVISION, denied, sid_));
        EXPECT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, sid_));
        SECURITY_DESCRIPTOR descriptor;
        EXPECT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
        EXPECT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE));
        EXPECT_EQ(ERROR_SUCCESS, RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, &descriptor));
    }

    ~DeniedKeyAccess()
    {
        EXPECT_EQ(ERROR_SUCCESS,
                  RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, saved_.data()));
        RegCloseKey(key_);
    }

    DeniedKeyAccess(const DeniedKeyAccess&) = delete;
    DeniedKeyAccess& operator=(const DeniedKeyAccess&) = delete;

private:
    HKEY key_ = nullptr;
    std::vector<BYTE> saved_;
    alignas(DWORD) BYTE sid_[SECURITY_MAX_SID_SIZE] = {};
    alignas(DWORD) BYTE acl_[256] = {};
};

#endif
