#include "frame/type_info_holder.h"

#include <cwchar>
#include <new>

#include "frame/critical_section.h"
#include "frame/server_module.h"

namespace {

// Keeps the name of function `index`; an entry that cannot be read stays empty.
void ReadFunctionName(ITypeInfo* typeInfo, UINT index, NameCacheEntry* entry)
{
    FUNCDESC* function = nullptr;
    if (FAILED(typeInfo->GetFuncDesc(index, &function))) {
        return;
    }
    BSTR name = nullptr;
    if (SUCCEEDED(typeInfo->GetDocumentation(function->memid, &name, nullptr, nullptr, nullptr))) {
        SysFreeString(entry->name);
        entry->name = name;
        entry->length = static_cast<LONG>(SysStringLen(name));
        entry->memberId = function->memid;
        name = nullptr;
    }
    SysFreeString(name);
    typeInfo->ReleaseFuncDesc(function);
}

// A null pointer where names or ids must be would make the lookup read or
// write through it; so would an empty list, since the type information reads
// the first name whatever the count says.
bool NameArgumentsValid(LPOLESTR* names, UINT nameCount, DISPID* dispIds)
{
    if (nameCount == 0 || names == nullptr || dispIds == nullptr) {
        return false;
    }
    for (UINT index = 0; index < nameCount; ++index) {
        if (names[index] == nullptr) {
            return false;
        }
    }
    return true;
}

bool ParametersValid(const DISPPARAMS* parameters)
{
    if (parameters == nullptr) {
        return false;
    }
    if (parameters->cArgs > 0 && parameters->rgvarg == nullptr) {
        return false;
    }
    return parameters->cNamedArgs == 0 || parameters->rgdispidNamedArgs != nullptr;
}

} // namespace

HRESULT TypeInfoHolder::Load(LCID locale)
{
    ITypeLib* library = nullptr;
    HRESULT result = LoadRegTypeLib(*libraryId_, majorVersion_, minorVersion_, locale, &library);
    if (FAILED(result)) {
        return result;
    }
    ITypeInfo* found = nullptr;
    result = library->GetTypeInfoOfGuid(*interfaceId_, &found);
    library->Release();
    if (FAILED(result)) {
        return result;
    }
    ITypeInfo* kept = found;
    ITypeInfo2* extended = nullptr;
    if (SUCCEEDED(found->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void**>(&extended)))) {
        ITypeInfo* viaExtended = nullptr;
        if (SUCCEEDED(extended->QueryInterface(IID_ITypeInfo,
                                               reinterpret_cast<void**>(&viaExtended)))) {
            kept = viaExtended;
            found->Release();
        }
        extended->Release();
    }
    // Kept only with its clean-up registered: otherwise nothing would ever
    // release it (or the name cache built on it) when the module ends.
    result = GetServerModule()->AddCleanup(&TypeInfoHolder::ReleaseTypeInformation, this);
    if (FAILED(result)) {
        kept->Release();
        return result;
    }
    InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&typeInfo_), kept);
    InterlockedIncrement(&loadCount_);
    return S_OK;
}

HRESULT TypeInfoHolder::GetTypeInformation(LCID locale)
{
    if (Ready()) {
        return S_OK;
    }
    ScopedLock lock(GetServerModule()->ModuleLock());
    HRESULT result = S_OK;
    if (typeInfo_ == nullptr) {
        result = Load(locale);
    }
    // A cache that cannot be built now is tried again by a later call.
    if (typeInfo_ != nullptr && nameCache_ == nullptr) {
        BuildNameCache(typeInfo_);
    }
    return result;
}

HRESULT TypeInfoHolder::BuildNameCache(ITypeInfo* typeInfo)
{
    TYPEATTR* attributes = nullptr;
    if (FAILED(typeInfo->GetTypeAttr(&attributes))) {
        return S_OK;
    }
    const UINT functionCount = attributes->cFuncs;
    nameCacheCount_ = static_cast<LONG>(functionCount);
    NameCacheEntry* entries = nullptr;
    if (functionCount != 0) {
        entries = new (std::nothrow) NameCacheEntry[functionCount];
        if (entries == nullptr) {
            typeInfo->ReleaseTypeAttr(attributes);
            return E_OUTOFMEMORY;
        }
        for (UINT index = 0; index < functionCount; ++index) {
            ReadFunctionName(typeInfo, index, &entries[index]);
        }
    }
    // Lock-free readers see either no cache or a complete one.
    InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&nameCache_), entries);
    typeInfo->ReleaseTypeAttr(attributes);
    return S_OK;
}

void TypeInfoHolder::ReleaseTypeInformation(void* holder)
{
    TypeInfoHolder* self = static_cast<TypeInfoHolder*>(holder);
    ITypeInfo* typeInfo = self->typeInfo_;
    self->typeInfo_ = nullptr;
    if (typeInfo != nullptr) {
        typeInfo->Release();
    }
    NameCacheEntry* cache = self->nameCache_;
    self->nameCache_ = nullptr;
    if (cache == nullptr) {
        return;
    }
    for (LONG index = 0; index < self->nameCacheCount_; ++index) {
        SysFreeString(cache[index].name);
    }
    delete[] cache;
}

// Exact, case-sensitive match, newest function first. Entries that could not
// be read carry no name and never match.
bool TypeInfoHolder::FindCachedName(const wchar_t* name, DISPID* memberId) const
{
    const NameCacheEntry* cache = nameCache_;
    if (cache == nullptr) {
        return false;
    }
    const std::size_t length = std::wcslen(name);
    for (LONG index = nameCacheCount_ - 1; index >= 0; --index) {
        const NameCacheEntry& entry = cache[index];
        if (entry.name != nullptr && static_cast<std::size_t>(entry.length) == length &&
            std::wmemcmp(entry.name, name, length) == 0) {
            *memberId = entry.memberId;
            return true;
        }
    }
    return false;
}

HRESULT TypeInfoHolder::GetTypeInfo(LCID locale, ITypeInfo** typeInfo)
{
    if (typeInfo == nullptr) {
        return E_POINTER;
    }
    HRESULT result = S_OK;
    if (typeInfo_ == nullptr) {
        result = GetTypeInformation(locale);
    }
    ITypeInfo* loaded = typeInfo_;
    *typeInfo = loaded;
    if (loaded == nullptr) {
        return result;
    }
    loaded->AddRef();
    return S_OK;
}

HRESULT TypeInfoHolder::GetIDsOfNames(LPOLESTR* names, UINT nameCount, LCID locale,
                                      DISPID* dispIds)
{
    if (!NameArgumentsValid(names, nameCount, dispIds)) {
        return E_INVALIDARG;
    }
    HRESULT result = S_OK;
    if (!Ready()) {
        result = GetTypeInformation(locale);
    }
    ITypeInfo* loaded = typeInfo_;
    if (loaded == nullptr) {
        return result;
    }
    if (nameCount == 1 && FindCachedName(names[0], &dispIds[0])) {
        return S_OK;
    }
    // The type information ignores case and also resolves parameter names.
    InterlockedIncrement(&forwardedNameLookups_);
    return loaded->GetIDsOfNames(names, nameCount, dispIds);
}

HRESULT TypeInfoHolder::Invoke(void* instance, DISPID member, LCID locale, WORD flags,
                               DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                               UINT* argumentError)
{
    if (!ParametersValid(parameters)) {
        return E_INVALIDARG;
    }
    HRESULT loadResult = S_OK;
    if (!Ready()) {
        loadResult = GetTypeInformation(locale);
    }
    ITypeInfo* loaded = typeInfo_;
    if (loaded == nullptr) {
        return loadResult;
    }
    return loaded->Invoke(instance, member, flags, parameters, result, exception, argumentError);
}
