// Construction, reference counting and destruction of CWorkstationInfo.
#include <new>

#include "frame/interface_table.h"
#include "frame/server_module.h"
#include "service/platform_facts.h"
#include "service/workstation_info.h"

namespace {

const InterfaceTableRow kWorkstationInfoInterfaces[] = {
    {&IID_IOrvWorkstationInfo, 0, InterfaceKind::Offset},
    {&IID_IDispatch, 0, InterfaceKind::Offset},
    {nullptr, 0, InterfaceKind::End},
};

} // namespace

CWorkstationInfo::CWorkstationInfo()
{
    GetServerModule()->LockModule();
}

CWorkstationInfo::~CWorkstationInfo()
{
    referenceCount_ = kDestructionCount;
    FinalRelease();
    GetServerModule()->UnlockModule();
}

HRESULT CWorkstationInfo::FinalConstruct()
{
    try {
        facts_ = new (std::nothrow) PlatformFacts();
    } catch (...) {
        facts_ = nullptr;
        return E_FAIL;
    }
    return facts_ != nullptr ? S_OK : E_OUTOFMEMORY;
}

void CWorkstationInfo::FinalRelease()
{
    if (facts_ == nullptr) {
        return;
    }
    try {
        delete facts_;
    } catch (...) {
    }
    facts_ = nullptr;
}

HRESULT CWorkstationInfo::QueryInterface(REFIID iid, void** object)
{
    return FindInterface(this, kWorkstationInfoInterfaces, iid, object);
}

ULONG CWorkstationInfo::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&referenceCount_));
}

ULONG CWorkstationInfo::Release()
{
    const LONG count = InterlockedDecrement(&referenceCount_);
    if (count == 0) {
        delete this;
    }
    return static_cast<ULONG>(count);
}
