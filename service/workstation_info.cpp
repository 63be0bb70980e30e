// The eight members of IOrvWorkstationInfo: the tests and defined out-values
// of the object's boundary; each question is answered by its module.
#include "service/workstation_info.h"

#include "service/net_framework_walk.h"
#include "service/platform_facts.h"
#include "service/product_settings.h"
#include "service/viewer_detection.h"

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

HRESULT CWorkstationInfo::get_DoNotUpgradeTo64(VARIANT_BOOL* pVal)
{
    if (pVal == nullptr) {
        return E_INVALIDARG;
    }
    if (facts_ == nullptr) {
        return E_FAIL;
    }
    return AnswerDoNotUpgradeTo64(pVal);
}

HRESULT CWorkstationInfo::put_DoNotUpgradeTo64(VARIANT_BOOL newValue)
{
    if (facts_ == nullptr) {
        return E_FAIL;
    }
    return StoreDoNotUpgradeTo64(newValue);
}

HRESULT CWorkstationInfo::get_NetVersion(BSTR* pbsNetVersion)
{
    if (pbsNetVersion == nullptr) {
        return E_POINTER;
    }
    *pbsNetVersion = nullptr;
    return AnswerNetVersion(pbsNetVersion);
}

HRESULT CWorkstationInfo::get_ViewerType(LONG* plViewerType)
{
    if (plViewerType == nullptr) {
        return E_POINTER;
    }
    *plViewerType = kViewerNone;
    return AnswerViewerType(plViewerType);
}

HRESULT CWorkstationInfo::get_ViewerVersion(BSTR* pbsVersion)
{
    if (pbsVersion == nullptr) {
        return E_POINTER;
    }
    *pbsVersion = nullptr;
    return AnswerViewerVersion(pbsVersion);
}

HRESULT CWorkstationInfo::GetLastClientInstallStatus(LONG ViewerType, LONG* opnInstallStatus)
{
    if (opnInstallStatus == nullptr) {
        return E_POINTER;
    }
    *opnInstallStatus = -1;
    if (ViewerType <= 0) {
        return E_INVALIDARG;
    }
    return AnswerLastClientInstallStatus(ViewerType, opnInstallStatus);
}
