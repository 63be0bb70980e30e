#include "service/workstation_info.h"

#include "service/platform_facts.h"

HRESULT CWorkstationInfo::GetPhysicalMemory(LONG* physMemSizeMb)
{
    if (physMemSizeMb == nullptr) {
        return E_INVALIDARG;
    }
    if (facts_ == nullptr) {
        return E_FAIL;
    }
    const DWORD megabytes = facts_->TotalPhysicalMemoryMb();
    *physMemSizeMb = static_cast<LONG>(megabytes);
    return megabytes != 0 ? S_OK : E_FAIL;
}

HRESULT CWorkstationInfo::Is64BitOS(VARIANT_BOOL* opbIs64Bit)
{
    if (opbIs64Bit == nullptr) {
        return E_INVALIDARG;
    }
    if (facts_ == nullptr) {
        return E_FAIL;
    }
    *opbIs64Bit = facts_->Is64Bit() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}
