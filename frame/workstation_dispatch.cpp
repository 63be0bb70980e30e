// IDispatch of CWorkstationInfo, served from the registered type library.
#include "frame/workstation_dispatch.h"

#include "service/workstation_info.h"

namespace {

// No constructor or destructor runs: the module's clean-up list releases it.
TypeInfoHolder workstationTypeInfo(&IID_IOrvWorkstationInfo, &LIBID_TriveldLib, 2, 0);

} // namespace

TypeInfoHolder& WorkstationTypeInfo()
{
    return workstationTypeInfo;
}

HRESULT CWorkstationInfo::GetTypeInfoCount(UINT* count)
{
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 1;
    return S_OK;
}

HRESULT CWorkstationInfo::GetTypeInfo(UINT, LCID locale, ITypeInfo** typeInfo)
{
    return workstationTypeInfo.GetTypeInfo(locale, typeInfo);
}

HRESULT CWorkstationInfo::GetIDsOfNames(REFIID, LPOLESTR* names, UINT nameCount, LCID locale,
                                        DISPID* dispIds)
{
    return workstationTypeInfo.GetIDsOfNames(names, nameCount, locale, dispIds);
}

HRESULT CWorkstationInfo::Invoke(DISPID member, REFIID, LCID locale, WORD flags,
                                 DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                 UINT* argumentError)
{
    IOrvWorkstationInfo* self = this;
    return workstationTypeInfo.Invoke(self, member, locale, flags, parameters, result, exception,
                                      argumentError);
}
