#ifndef TRIVELD_TESTS_REDIRECTED_ROOTS_H
#define TRIVELD_TESTS_REDIRECTED_ROOTS_H

#include <windows.h>

#include <string>

// Redirects every predefined key a registration script can name (HKCR, HKCU,
// HKLM, HKU, HKPD, HKDD, HKCC) to a fresh key of its own under the real
// HKEY_CURRENT_USER for the object's lifetime, then deletes them. Unlike
// ScratchRegistry this includes HKEY_CURRENT_USER itself.
class RedirectedRoots {
public:
    static constexpr int kCount = 7;

    RedirectedRoots();
    ~RedirectedRoots();

    RedirectedRoots(const RedirectedRoots&) = delete;
    RedirectedRoots& operator=(const RedirectedRoots&) = delete;

    // Predefined key `index` and the scratch key that stands in for it.
    static HKEY Predefined(int index);
    static const char* Name(int index);
    HKEY Scratch(int index) const { return scratch_[index]; }
    // Real-HKCU-relative path of the key holding all scratch roots.
    const std::string& RootPath() const { return rootPath_; }

    // True when a key created through each predefined key appears in its
    // scratch key, or the platform refuses to create one through it at all
    // (Wine does so for HKEY_PERFORMANCE_DATA).
    bool WritesStayInside() const;
    // Empties every scratch root.
    void Clear() const;

private:
    std::string rootPath_;
    HKEY scratch_[kCount] = {};
};

#endif
