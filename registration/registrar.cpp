#include "registration/registrar.h"

#include "registration/narrow_text.h"

HRESULT Registrar::QueryInterface(REFIID, void**)
{
    return E_NOTIMPL;
}

ULONG Registrar::AddRef()
{
    return 1;
}

ULONG Registrar::Release()
{
    return 0;
}

HRESULT Registrar::DefineReplacement(const wchar_t* name, const wchar_t* text)
{
    if (name == nullptr || text == nullptr) {
        return E_INVALIDARG;
    }
    NarrowText narrowName;
    if (!narrowName.Assign(name)) {
        return E_OUTOFMEMORY;
    }
    return map_.Add(narrowName.Get(), text);
}

HRESULT Registrar::RemoveAllReplacements()
{
    map_.RemoveAll();
    return S_OK;
}

Registrar::~Registrar()
{
    map_.RemoveAll();
}
