#ifndef TRIVELD_SERVICE_WORKSTATION_INFO_H
#define TRIVELD_SERVICE_WORKSTATION_INFO_H

#include <windows.h>

#include "triveld.h"

class PlatformFacts;

// The one creatable class, OrvWorkstationInfo. One virtual table serves
// IUnknown, IDispatch and IOrvWorkstationInfo.
//
// Where the members live: construction and IUnknown in
// frame/workstation_lifetime.cpp, IDispatch in frame/workstation_dispatch.cpp,
// and the eight members of IOrvWorkstationInfo together in
// service/workstation_info.cpp. Each of these tests its arguments, sets its
// defined empty out-value and hands the question to one module, which reads
// the machine and writes the member's event-log entries: the snapshot
// (service/platform_facts.h), service/product_settings.h,
// service/viewer_detection.h or service/net_framework_walk.h.
class CWorkstationInfo : public IOrvWorkstationInfo {
public:
    // Count 0, no snapshot, one module lock held until destruction.
    CWorkstationInfo();
    virtual ~CWorkstationInfo();

    CWorkstationInfo(const CWorkstationInfo&) = delete;
    CWorkstationInfo& operator=(const CWorkstationInfo&) = delete;

    // Takes the platform snapshot; S_OK, E_OUTOFMEMORY or E_FAIL.
    HRESULT FinalConstruct();
    void FinalRelease();

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch, served from the registered type library.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** typeInfo) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT nameCount,
                                            LCID locale, DISPID* dispIds) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* parameters, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argumentError) override;

    // IOrvWorkstationInfo, the object's boundary.
    HRESULT STDMETHODCALLTYPE GetPhysicalMemory(LONG* physMemSizeMb) override;
    HRESULT STDMETHODCALLTYPE Is64BitOS(VARIANT_BOOL* opbIs64Bit) override;
    HRESULT STDMETHODCALLTYPE get_DoNotUpgradeTo64(VARIANT_BOOL* pVal) override;
    HRESULT STDMETHODCALLTYPE put_DoNotUpgradeTo64(VARIANT_BOOL newValue) override;
    HRESULT STDMETHODCALLTYPE get_NetVersion(BSTR* pbsNetVersion) override;
    HRESULT STDMETHODCALLTYPE get_ViewerType(LONG* plViewerType) override;
    HRESULT STDMETHODCALLTYPE get_ViewerVersion(BSTR* pbsVersion) override;
    HRESULT STDMETHODCALLTYPE GetLastClientInstallStatus(LONG ViewerType,
                                                         LONG* opnInstallStatus) override;

private:
    volatile LONG referenceCount_ = 0;
    PlatformFacts* facts_ = nullptr;
};

#endif
