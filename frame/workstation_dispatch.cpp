// IDispatch of CWorkstationInfo, served from the registered type library.
#include "service/workstation_info.h"

HRESULT CWorkstationInfo::GetTypeInfoCount(UINT* count)
{
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 1;
    return S_OK;
}

HRESULT CWorkstationInfo::GetTypeInfo(UINT, LCID, ITypeInfo** typeInfo)
{
    if (typeInfo == nullptr) {
        return E_POINTER;
    }
    *typeInfo = nullptr;
    return E_NOTIMPL;
}

HRESULT CWorkstationInfo::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return E_NOTIMPL;
}

HRESULT CWorkstationInfo::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                 UINT*)
{
    return E_NOTIMPL;
}
