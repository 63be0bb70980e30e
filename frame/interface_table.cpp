#include "frame/interface_table.h"

namespace {

HRESULT Answer(void* object, const InterfaceTableRow& row, void** result)
{
    IUnknown* answer = reinterpret_cast<IUnknown*>(static_cast<BYTE*>(object) + row.offset);
    answer->AddRef();
    *result = answer;
    return S_OK;
}

} // namespace

HRESULT FindInterface(void* object, const InterfaceTableRow* table, REFIID iid, void** result)
{
    if (object == nullptr || table == nullptr) {
        return E_INVALIDARG;
    }
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) {
        return Answer(object, table[0], result);
    }
    for (const InterfaceTableRow* row = table; row->kind != InterfaceKind::End; ++row) {
        if (IsEqualIID(iid, *row->iid)) {
            return Answer(object, *row, result);
        }
    }
    return E_NOINTERFACE;
}
