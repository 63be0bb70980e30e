#ifndef TRIVELD_FRAME_TYPE_INFO_HOLDER_H
#define TRIVELD_FRAME_TYPE_INFO_HOLDER_H

#include <windows.h>

#include <oleauto.h>

// One function's name as the type information reports it.
struct NameCacheEntry {
    BSTR name = nullptr;
    LONG length = 0;
    DISPID memberId = DISPID_UNKNOWN;
};

// The type information of one dual interface, loaded from the registered
// type library on first use and kept until the module terminates, with a
// cache from member names to dispatch ids. Shared by every object and thread.
class TypeInfoHolder {
public:
    constexpr TypeInfoHolder(const IID* interfaceId, const GUID* libraryId, WORD majorVersion,
                             WORD minorVersion)
        : interfaceId_(interfaceId), libraryId_(libraryId), majorVersion_(majorVersion),
          minorVersion_(minorVersion)
    {
    }

    TypeInfoHolder(const TypeInfoHolder&) = delete;
    TypeInfoHolder& operator=(const TypeInfoHolder&) = delete;

    // Makes sure the type information and the name cache exist.
    HRESULT GetTypeInformation(LCID locale);
    // Publishes the cache only once every entry is filled.
    HRESULT BuildNameCache(ITypeInfo* typeInfo);
    // The module clean-up action: releases the type information and the cache.
    static void ReleaseTypeInformation(void* holder);

    // IDispatch on behalf of an object; `instance` is the dual interface
    // pointer that Invoke calls through.
    HRESULT GetTypeInfo(LCID locale, ITypeInfo** typeInfo);
    HRESULT GetIDsOfNames(LPOLESTR* names, UINT nameCount, LCID locale, DISPID* dispIds);
    HRESULT Invoke(void* instance, DISPID member, LCID locale, WORD flags, DISPPARAMS* parameters,
                   VARIANT* result, EXCEPINFO* exception, UINT* argumentError);

    // How often the type information was loaded, and how many name lookups
    // the cache could not answer; lets tests tell cache hits from calls into
    // the type information.
    LONG LoadCount() const { return loadCount_; }
    LONG ForwardedNameLookups() const { return forwardedNameLookups_; }

private:
    bool Ready() const { return typeInfo_ != nullptr && nameCache_ != nullptr; }
    HRESULT Load(LCID locale);
    bool FindCachedName(const wchar_t* name, DISPID* memberId) const;

    const IID* interfaceId_;
    const GUID* libraryId_;
    WORD majorVersion_;
    WORD minorVersion_;
    ITypeInfo* volatile typeInfo_ = nullptr;
    NameCacheEntry* volatile nameCache_ = nullptr;
    LONG nameCacheCount_ = 0;
    volatile LONG loadCount_ = 0;
    volatile LONG forwardedNameLookups_ = 0;
};

#endif
