#include "bench/type_library_census.h"

#include <oleauto.h>

#include "tests/support/import_slot.h"

namespace {

TypeLibraryCensus census;

using LoadRegTypeLibFunction = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, ITypeLib**);
LoadRegTypeLibFunction realLoadRegTypeLib = nullptr;

#define COUNTED() InterlockedIncrement(&census.typeInfoCalls)

// Holds the real interface and answers only IUnknown and its own interface,
// so that the DLL keeps the counting pointer rather than the real one.
template <typename Interface>
class Forwarder : public Interface {
public:
    Forwarder(Interface* inner, const IID& iid) : inner_(inner), iid_(iid) {}
    virtual ~Forwarder() { inner_->Release(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, iid_)) {
            *object = static_cast<Interface*>(this);
            this->AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&count_); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&count_);
        if (left == 0) {
            delete this;
        }
        return static_cast<ULONG>(left);
    }

protected:
    Interface* inner_;

private:
    const IID& iid_;
    volatile LONG count_ = 1;
};

// Forwards every member to the real type information and counts the calls.
class CountingTypeInfo final : public Forwarder<ITypeInfo> {
public:
    explicit CountingTypeInfo(ITypeInfo* inner) : Forwarder(inner, IID_ITypeInfo) {}

    HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR** a) override { COUNTED(); return inner_->GetTypeAttr(a); }
    HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** a) override { COUNTED(); return inner_->GetTypeComp(a); }
    HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT a, FUNCDESC** b) override { COUNTED(); return inner_->GetFuncDesc(a, b); }
    HRESULT STDMETHODCALLTYPE GetVarDesc(UINT a, VARDESC** b) override { COUNTED(); return inner_->GetVarDesc(a, b); }
    HRESULT STDMETHODCALLTYPE GetNames(MEMBERID a, BSTR* b, UINT c, UINT* d) override { COUNTED(); return inner_->GetNames(a, b, c, d); }
    HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT a, HREFTYPE* b) override { COUNTED(); return inner_->GetRefTypeOfImplType(a, b); }
    HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT a, INT* b) override { COUNTED(); return inner_->GetImplTypeFlags(a, b); }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR* a, UINT b, MEMBERID* c) override
    {
        COUNTED();
        InterlockedIncrement(&census.typeInfoGetIDsOfNames);
        return inner_->GetIDsOfNames(a, b, c);
    }
    HRESULT STDMETHODCALLTYPE Invoke(PVOID a, MEMBERID b, WORD c, DISPPARAMS* d, VARIANT* e,
                                     EXCEPINFO* f, UINT* g) override
    {
        COUNTED();
        InterlockedIncrement(&census.typeInfoInvoke);
        return inner_->Invoke(a, b, c, d, e, f, g);
    }
    HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID a, BSTR* b, BSTR* c, DWORD* d, BSTR* e) override { COUNTED(); return inner_->GetDocumentation(a, b, c, d, e); }
    HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID a, INVOKEKIND b, BSTR* c, BSTR* d, WORD* e) override { COUNTED(); return inner_->GetDllEntry(a, b, c, d, e); }
    HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE a, ITypeInfo** b) override { COUNTED(); return inner_->GetRefTypeInfo(a, b); }
    HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID a, INVOKEKIND b, PVOID* c) override { COUNTED(); return inner_->AddressOfMember(a, b, c); }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* a, REFIID b, PVOID* c) override { COUNTED(); return inner_->CreateInstance(a, b, c); }
    HRESULT STDMETHODCALLTYPE GetMops(MEMBERID a, BSTR* b) override { COUNTED(); return inner_->GetMops(a, b); }
    HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib** a, UINT* b) override { COUNTED(); return inner_->GetContainingTypeLib(a, b); }
    void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR* a) override { COUNTED(); inner_->ReleaseTypeAttr(a); }
    void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC* a) override { COUNTED(); inner_->ReleaseFuncDesc(a); }
    void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC* a) override { COUNTED(); inner_->ReleaseVarDesc(a); }
};

// Forwards to the real library; type information asked for by id comes back wrapped.
class CountingTypeLib final : public Forwarder<ITypeLib> {
public:
    explicit CountingTypeLib(ITypeLib* inner) : Forwarder(inner, IID_ITypeLib) {}

    UINT STDMETHODCALLTYPE GetTypeInfoCount() override { return inner_->GetTypeInfoCount(); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT a, ITypeInfo** b) override { return inner_->GetTypeInfo(a, b); }
    HRESULT STDMETHODCALLTYPE GetTypeInfoType(UINT a, TYPEKIND* b) override { return inner_->GetTypeInfoType(a, b); }
    HRESULT STDMETHODCALLTYPE GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** typeInfo) override
    {
        InterlockedIncrement(&census.getTypeInfoOfGuid);
        const HRESULT result = inner_->GetTypeInfoOfGuid(guid, typeInfo);
        if (SUCCEEDED(result) && typeInfo != nullptr && *typeInfo != nullptr) {
            *typeInfo = new CountingTypeInfo(*typeInfo);
        }
        return result;
    }
    HRESULT STDMETHODCALLTYPE GetLibAttr(TLIBATTR** a) override { return inner_->GetLibAttr(a); }
    HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** a) override { return inner_->GetTypeComp(a); }
    HRESULT STDMETHODCALLTYPE GetDocumentation(INT a, BSTR* b, BSTR* c, DWORD* d, BSTR* e) override { return inner_->GetDocumentation(a, b, c, d, e); }
    HRESULT STDMETHODCALLTYPE IsName(LPOLESTR a, ULONG b, BOOL* c) override { return inner_->IsName(a, b, c); }
    HRESULT STDMETHODCALLTYPE FindName(LPOLESTR a, ULONG b, ITypeInfo** c, MEMBERID* d, USHORT* e) override { return inner_->FindName(a, b, c, d, e); }
    void STDMETHODCALLTYPE ReleaseTLibAttr(TLIBATTR* a) override { inner_->ReleaseTLibAttr(a); }
};

HRESULT WINAPI CountingLoadRegTypeLib(REFGUID library, WORD major, WORD minor, LCID locale,
                                      ITypeLib** loaded)
{
    InterlockedIncrement(&census.loadRegTypeLib);
    const HRESULT result = realLoadRegTypeLib(library, major, minor, locale, loaded);
    if (SUCCEEDED(result) && loaded != nullptr && *loaded != nullptr) {
        *loaded = new CountingTypeLib(*loaded);
    }
    return result;
}

} // namespace

bool InstallTypeLibraryCensus(HMODULE module)
{
    void* real = ReplaceImport(FindImportSlot(module, "oleaut32.dll", "LoadRegTypeLib"),
                               reinterpret_cast<void*>(&CountingLoadRegTypeLib));
    realLoadRegTypeLib = reinterpret_cast<LoadRegTypeLibFunction>(real);
    return real != nullptr;
}

const TypeLibraryCensus& Census()
{
    return census;
}
