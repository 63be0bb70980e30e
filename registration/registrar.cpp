#include "registration/registrar.h"

#include <cwchar>
#include <new>

#include "frame/text_conversion.h"

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
    // No code page, UTF-8 included, needs more than three bytes per UTF-16 unit.
    const size_t capacity = std::wcslen(name) * 3 + 1;
    char* narrowName = new (std::nothrow) char[capacity];
    if (narrowName == nullptr) {
        return E_OUTOFMEMORY;
    }
    HRESULT result = E_OUTOFMEMORY;
    if (NarrowFromWide(narrowName, name, static_cast<int>(capacity), ConversionCodePage()) !=
        nullptr) {
        result = map_.Add(narrowName, text);
    }
    delete[] narrowName;
    return result;
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
