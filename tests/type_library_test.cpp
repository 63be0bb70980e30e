// The type library embedded in the DLL, walked item by item.
#include <windows.h>

#include <oleauto.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/com_ptr.h"
#include "triveld.h"

namespace {

const GUID kLibId = {0xA4D2F6B8, 0x1C3E, 0x4F57, {0x8B, 0x9D, 0x2E, 0x6A, 0x0C, 0x5F, 0x1B, 0x73}};
const GUID kClassId = {0x5B1E0C42, 0x7A93, 0x4D61, {0x9E, 0x2F, 0x3C, 0x8A, 0x0D, 0x4B, 0x7E, 0x15}};
const GUID kInterfaceId = {0x9D4F1A63, 0x2E7B, 0x4C58,
                           {0xA1, 0xD6, 0x5B, 0x3E, 0x8F, 0x0C, 0x7A, 0x24}};
const GUID kStdOle = {0x00020430, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct ExpectedParameter {
    VARTYPE type;        // pointed-to type for out-parameters
    bool out;
};

struct ExpectedFunction {
    DISPID id;
    INVOKEKIND kind;
    std::vector<std::wstring> names;  // function name, then parameter names
    std::vector<ExpectedParameter> parameters;
    const wchar_t* help;
};

const std::vector<ExpectedFunction>& ExpectedFunctions()
{
    static const std::vector<ExpectedFunction> functions = {
        {1, INVOKE_FUNC, {L"GetPhysicalMemory", L"physMemSizeMb"}, {{VT_I4, true}},
         L"method GetPhysicalMemory"},
        {2, INVOKE_FUNC, {L"Is64BitOS", L"opbIs64Bit"}, {{VT_BOOL, true}}, L"method Is64BitOS"},
        {3, INVOKE_PROPERTYGET, {L"DoNotUpgradeTo64", L"pVal"}, {{VT_BOOL, true}},
         L"property DoNotUpgradeTo64"},
        {3, INVOKE_PROPERTYPUT, {L"DoNotUpgradeTo64"}, {{VT_BOOL, false}},
         L"property DoNotUpgradeTo64"},
        {4, INVOKE_PROPERTYGET, {L"NetVersion", L"pbsNetVersion"}, {{VT_BSTR, true}},
         L"gets the version for the latest installed .Net Framework"},
        {5, INVOKE_PROPERTYGET, {L"ViewerType", L"plViewerType"}, {{VT_I4, true}},
         L"gets the viewer type: 0 - nothing installed, 1 - Velmar-D or 2 - Velmar-D Lite"},
        {6, INVOKE_PROPERTYGET, {L"ViewerVersion", L"pbsVersion"}, {{VT_BSTR, true}},
         L"Gets the Viewer Version"},
        {7, INVOKE_FUNC, {L"GetLastClientInstallStatus", L"ViewerType", L"opnInstallStatus"},
         {{VT_I4, false}, {VT_I4, true}},
         L"Get the result of the last Velmar-D or Velmar-D Lite client installation"},
    };
    return functions;
}

std::wstring DocString(ITypeInfo* info, MEMBERID id, DWORD* helpContext = nullptr)
{
    Bstr name;
    Bstr doc;
    Bstr helpFile;
    DWORD context = 99;
    EXPECT_EQ(S_OK, info->GetDocumentation(id, name.Out(), doc.Out(), &context, helpFile.Out()));
    EXPECT_EQ(nullptr, helpFile.Get());
    if (helpContext != nullptr) {
        *helpContext = context;
    }
    return doc.Text();
}

class TypeLibraryTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, LoadTypeLibEx(TRIVELD_DLL_PATH, REGKIND_NONE, library_.Out()));
    }

    ComPtr<ITypeLib> library_;
};

TEST_F(TypeLibraryTest, LibraryAttributesMatchTheBuild)
{
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, library_->GetLibAttr(&attributes));
    EXPECT_TRUE(IsEqualGUID(kLibId, attributes->guid));
    EXPECT_EQ(2, attributes->wMajorVerNum);
    EXPECT_EQ(0, attributes->wMinorVerNum);
    EXPECT_EQ(0u, attributes->lcid);
    // The runtime adds LIBFLAG_FHASDISKIMAGE for a library loaded from a file.
    EXPECT_EQ(0, attributes->wLibFlags & ~LIBFLAG_FHASDISKIMAGE);
#ifdef _WIN64
    EXPECT_EQ(SYS_WIN64, attributes->syskind);
#else
    EXPECT_EQ(SYS_WIN32, attributes->syskind);
#endif
    library_->ReleaseTLibAttr(attributes);

    Bstr name;
    Bstr doc;
    Bstr helpFile;
    DWORD context = 99;
    ASSERT_EQ(S_OK, library_->GetDocumentation(-1, name.Out(), doc.Out(), &context, helpFile.Out()));
    EXPECT_EQ(L"TriveldLib", name.Text());
    EXPECT_EQ(L"Triveld 2.0 Type Library", doc.Text());
    EXPECT_EQ(0u, context);
    EXPECT_EQ(nullptr, helpFile.Get());
}

TEST_F(TypeLibraryTest, HoldsTheCoclassThenTheInterface)
{
    ASSERT_EQ(2u, library_->GetTypeInfoCount());
    TYPEKIND kind;
    ASSERT_EQ(S_OK, library_->GetTypeInfoType(0, &kind));
    EXPECT_EQ(TKIND_COCLASS, kind);
    ASSERT_EQ(S_OK, library_->GetTypeInfoType(1, &kind));
    EXPECT_EQ(TKIND_DISPATCH, kind);
}

TEST_F(TypeLibraryTest, CoclassIsCreatableWithTheDefaultInterface)
{
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(S_OK, library_->GetTypeInfoOfGuid(kClassId, coclass.Out()));
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, coclass->GetTypeAttr(&attributes));
    EXPECT_EQ(TKIND_COCLASS, attributes->typekind);
    EXPECT_EQ(TYPEFLAG_FCANCREATE, attributes->wTypeFlags);
    EXPECT_EQ(1, attributes->cImplTypes);
    EXPECT_EQ(0, attributes->wMajorVerNum);
    EXPECT_EQ(0, attributes->wMinorVerNum);
    coclass->ReleaseTypeAttr(attributes);

    DWORD context = 99;
    EXPECT_EQ(L"OrvWorkstationInfo Class", DocString(coclass.Get(), MEMBERID_NIL, &context));
    EXPECT_EQ(0u, context);

    INT flags = 0;
    ASSERT_EQ(S_OK, coclass->GetImplTypeFlags(0, &flags));
    EXPECT_EQ(IMPLTYPEFLAG_FDEFAULT, flags);
    HREFTYPE reference = 0;
    ASSERT_EQ(S_OK, coclass->GetRefTypeOfImplType(0, &reference));
    ComPtr<ITypeInfo> implemented;
    ASSERT_EQ(S_OK, coclass->GetRefTypeInfo(reference, implemented.Out()));
    ASSERT_EQ(S_OK, implemented->GetTypeAttr(&attributes));
    EXPECT_TRUE(IsEqualGUID(kInterfaceId, attributes->guid));
    implemented->ReleaseTypeAttr(attributes);
}

TEST_F(TypeLibraryTest, InterfaceIsDualNonextensibleAutomationFromStdOle)
{
    ComPtr<ITypeInfo> dispatch;
    ASSERT_EQ(S_OK, library_->GetTypeInfoOfGuid(kInterfaceId, dispatch.Out()));
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, dispatch->GetTypeAttr(&attributes));
    EXPECT_EQ(TKIND_DISPATCH, attributes->typekind);
    // The dispatch half of a dual interface never carries oleautomation.
    EXPECT_EQ(TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE,
              attributes->wTypeFlags);
    EXPECT_EQ(0, attributes->wMajorVerNum);
    dispatch->ReleaseTypeAttr(attributes);
    EXPECT_EQ(L"IOrvWorkstationInfo Interface", DocString(dispatch.Get(), MEMBERID_NIL));

    HREFTYPE reference = 0;
    ASSERT_EQ(S_OK, dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference));
    ComPtr<ITypeInfo> vtable;
    ASSERT_EQ(S_OK, dispatch->GetRefTypeInfo(reference, vtable.Out()));
    ASSERT_EQ(S_OK, vtable->GetTypeAttr(&attributes));
    EXPECT_EQ(TKIND_INTERFACE, attributes->typekind);
    EXPECT_EQ(TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION |
                  TYPEFLAG_FDISPATCHABLE,
              attributes->wTypeFlags);
    EXPECT_EQ(8, attributes->cFuncs);
    EXPECT_EQ(1, attributes->cImplTypes);
    vtable->ReleaseTypeAttr(attributes);

    // The base interface is IDispatch from the imported stdole2.tlb.
    ASSERT_EQ(S_OK, vtable->GetRefTypeOfImplType(0, &reference));
    ComPtr<ITypeInfo> base;
    ASSERT_EQ(S_OK, vtable->GetRefTypeInfo(reference, base.Out()));
    ASSERT_EQ(S_OK, base->GetTypeAttr(&attributes));
    EXPECT_TRUE(IsEqualGUID(IID_IDispatch, attributes->guid));
    base->ReleaseTypeAttr(attributes);
    ComPtr<ITypeLib> baseLibrary;
    UINT index = 0;
    ASSERT_EQ(S_OK, base->GetContainingTypeLib(baseLibrary.Out(), &index));
    TLIBATTR* libraryAttributes = nullptr;
    ASSERT_EQ(S_OK, baseLibrary->GetLibAttr(&libraryAttributes));
    EXPECT_TRUE(IsEqualGUID(kStdOle, libraryAttributes->guid));
    EXPECT_EQ(2, libraryAttributes->wMajorVerNum);
    baseLibrary->ReleaseTLibAttr(libraryAttributes);
}

TEST_F(TypeLibraryTest, EightFunctionsInVirtualTableOrder)
{
    ComPtr<ITypeInfo> dispatch;
    ASSERT_EQ(S_OK, library_->GetTypeInfoOfGuid(kInterfaceId, dispatch.Out()));
    HREFTYPE reference = 0;
    ASSERT_EQ(S_OK, dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference));
    ComPtr<ITypeInfo> vtable;
    ASSERT_EQ(S_OK, dispatch->GetRefTypeInfo(reference, vtable.Out()));

    const auto& expected = ExpectedFunctions();
    for (UINT index = 0; index < expected.size(); ++index) {
        SCOPED_TRACE(index);
        const ExpectedFunction& want = expected[index];
        FUNCDESC* function = nullptr;
        ASSERT_EQ(S_OK, vtable->GetFuncDesc(index, &function));
        EXPECT_EQ(want.id, function->memid);
        EXPECT_EQ(want.kind, function->invkind);
        EXPECT_EQ(FUNC_PUREVIRTUAL, function->funckind);
        EXPECT_EQ(CC_STDCALL, function->callconv);
        EXPECT_EQ(VT_HRESULT, function->elemdescFunc.tdesc.vt);
        EXPECT_EQ(0, function->cParamsOpt);
        EXPECT_EQ(0, function->wFuncFlags);
        EXPECT_EQ(static_cast<SHORT>((7 + index) * sizeof(void*)), function->oVft);
        ASSERT_EQ(static_cast<SHORT>(want.parameters.size()), function->cParams);
        for (size_t p = 0; p < want.parameters.size(); ++p) {
            const ELEMDESC& parameter = function->lprgelemdescParam[p];
            const USHORT flags = parameter.paramdesc.wParamFlags;
            if (want.parameters[p].out) {
                EXPECT_EQ(VT_PTR, parameter.tdesc.vt);
                ASSERT_NE(nullptr, parameter.tdesc.lptdesc);
                EXPECT_EQ(want.parameters[p].type, parameter.tdesc.lptdesc->vt);
                EXPECT_EQ(PARAMFLAG_FOUT | PARAMFLAG_FRETVAL, flags);
            } else {
                EXPECT_EQ(want.parameters[p].type, parameter.tdesc.vt);
                EXPECT_EQ(PARAMFLAG_FIN, flags);
            }
        }
        BSTR names[4] = {};
        UINT count = 0;
        ASSERT_EQ(S_OK, vtable->GetNames(function->memid, names, 4, &count));
        vtable->ReleaseFuncDesc(function);
        std::vector<std::wstring> got;
        for (UINT n = 0; n < count; ++n) {
            got.push_back(names[n]);
            SysFreeString(names[n]);
        }
        // GetNames by member id finds the first function with that id (the getter).
        if (want.kind != INVOKE_PROPERTYPUT) {
            EXPECT_EQ(want.names, got);
        }
        DWORD context = 99;
        EXPECT_EQ(want.help, DocString(vtable.Get(), want.id, &context));
        EXPECT_EQ(0u, context);
    }
}

TEST_F(TypeLibraryTest, PropertyPutSharesTheGetterId)
{
    ComPtr<ITypeInfo> dispatch;
    ASSERT_EQ(S_OK, library_->GetTypeInfoOfGuid(kInterfaceId, dispatch.Out()));
    HREFTYPE reference = 0;
    ASSERT_EQ(S_OK, dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference));
    ComPtr<ITypeInfo> vtable;
    ASSERT_EQ(S_OK, dispatch->GetRefTypeInfo(reference, vtable.Out()));
    ComPtr<ITypeInfo2> vtable2;
    ASSERT_EQ(S_OK, vtable->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void**>(vtable2.Out())));
    UINT index = 0;
    ASSERT_EQ(S_OK, vtable2->GetFuncIndexOfMemId(3, INVOKE_PROPERTYPUT, &index));
    EXPECT_EQ(3u, index);

    FUNCDESC* function = nullptr;
    ASSERT_EQ(S_OK, vtable->GetFuncDesc(index, &function));
    EXPECT_EQ(INVOKE_PROPERTYPUT, function->invkind);
    vtable->ReleaseFuncDesc(function);
    DISPID ids[2] = {};
    LPOLESTR lookup[] = {const_cast<LPOLESTR>(L"DoNotUpgradeTo64")};
    EXPECT_EQ(S_OK, vtable->GetIDsOfNames(lookup, 1, ids));
    EXPECT_EQ(3, ids[0]);
}

TEST_F(TypeLibraryTest, HeaderMatchesTheLibrary)
{
    // The class derives from this header; a slot mismatch would not compile.
    EXPECT_TRUE(IsEqualGUID(kInterfaceId, IID_IOrvWorkstationInfo));
    EXPECT_TRUE(IsEqualGUID(kClassId, CLSID_OrvWorkstationInfo));
    EXPECT_TRUE(IsEqualGUID(kLibId, LIBID_TriveldLib));
}

} // namespace
