#ifndef TRIVELD_SERVICE_PLATFORM_FACTS_H
#define TRIVELD_SERVICE_PLATFORM_FACTS_H

#include <windows.h>

// True when the calling process runs under WOW64, asked afresh on every call.
bool RunsUnderWow64();

// Memory size and whether Windows is 64-bit (WindowsIs64Bit), taken once when
// an object is made.
class PlatformFacts {
public:
    PlatformFacts();
    virtual ~PlatformFacts() = default;

    PlatformFacts(const PlatformFacts&) = delete;
    PlatformFacts& operator=(const PlatformFacts&) = delete;

    DWORD TotalPhysicalMemoryMb() const { return totalPhysicalMemoryMb_; }
    bool Is64Bit() const { return is64Bit_; }

    // The product settings flag, in service/product_settings.cpp; these use
    // none of the snapshot's fields.
    static HRESULT GetDoNotUpgradeTo64(bool* isSet);
    static HRESULT SetDoNotUpgradeTo64(bool set);

private:
    DWORD totalPhysicalMemoryMb_ = 0;
    bool is64Bit_ = false;
};

#endif
