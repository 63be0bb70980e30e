// IDispatch of CWorkstationInfo on this program's copy of the frame, where
// the type information holder shows whether a name lookup was answered from
// its cache or by the type information.
#include <windows.h>

#include <oleauto.h>

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "frame/workstation_creator.h"
#include "frame/workstation_dispatch.h"
#include "service/workstation_info.h"
#include "tests/support/com_ptr.h"
#include "tests/support/dispatch_call.h"
#include "tests/support/type_library_registration.h"
#include "triveld.h"

namespace {

TypeInfoHolder& Holder()
{
    return WorkstationTypeInfo();
}

IDispatch* NewObject()
{
    IDispatch* object = nullptr;
    EXPECT_EQ(S_OK, CreateWorkstationInfo(nullptr, IID_IDispatch,
                                          reinterpret_cast<void**>(&object)));
    return object;
}

HRESULT IdOf(IDispatch* object, const wchar_t* name, DISPID* id)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    *id = 12345;
    return object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, id);
}

// Answers every member with a fixed value and notes which one was called, so
// that a call by dispatch id shows the slot it arrived at.
class RecordingWorkstation : public CWorkstationInfo {
public:
    HRESULT STDMETHODCALLTYPE GetPhysicalMemory(LONG* value) override
    {
        calls += "GetPhysicalMemory;";
        *value = 3072;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Is64BitOS(VARIANT_BOOL* value) override
    {
        calls += "Is64BitOS;";
        *value = VARIANT_TRUE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_DoNotUpgradeTo64(VARIANT_BOOL* value) override
    {
        calls += "get_DoNotUpgradeTo64;";
        *value = VARIANT_TRUE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_DoNotUpgradeTo64(VARIANT_BOOL value) override
    {
        calls += "put_DoNotUpgradeTo64(" + std::to_string(value) + ");";
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_NetVersion(BSTR* value) override
    {
        calls += "get_NetVersion;";
        *value = SysAllocString(L"4.8.9032.0 533325");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_ViewerType(LONG* value) override
    {
        calls += "get_ViewerType;";
        *value = 2;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_ViewerVersion(BSTR* value) override
    {
        calls += "get_ViewerVersion;";
        *value = SysAllocString(L"7.1.0.12");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetLastClientInstallStatus(LONG viewerType, LONG* status) override
    {
        calls += "GetLastClientInstallStatus(" + std::to_string(viewerType) + ");";
        *status = 1603;
        return viewerType > 0 ? S_OK : E_ACCESSDENIED;
    }

    std::string calls;
};

class WorkstationDispatch : public testing::Test {
protected:
    static void SetUpTestSuite() { RegisterTriveldTypeLib(); }
};

// Runs first, while the holder of this program is still empty.
TEST_F(WorkstationDispatch, ThreadsRacingTheFirstCallLoadOnce)
{
    constexpr int kThreads = 8;
    HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(nullptr, start);
    std::vector<DISPID> ids(kThreads, 0);
    std::vector<ITypeInfo*> typeInfos(kThreads, nullptr);
    std::vector<std::thread> threads;
    for (int index = 0; index < kThreads; ++index) {
        threads.emplace_back([&, index] {
            ComPtr<IDispatch> object(NewObject());
            WaitForSingleObject(start, INFINITE);
            IdOf(object.Get(), L"ViewerType", &ids[index]);
            object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &typeInfos[index]);
        });
    }
    SetEvent(start);
    for (std::thread& thread : threads) {
        thread.join();
    }
    CloseHandle(start);
    EXPECT_EQ(1, Holder().LoadCount());
    for (int index = 0; index < kThreads; ++index) {
        EXPECT_EQ(5, ids[index]);
        EXPECT_NE(nullptr, typeInfos[index]);
        EXPECT_EQ(typeInfos[0], typeInfos[index]);
    }
    for (ITypeInfo* typeInfo : typeInfos) {
        if (typeInfo != nullptr) {
            typeInfo->Release();
        }
    }
}

TEST_F(WorkstationDispatch, OneTypeInfoWhateverTheIndex)
{
    ComPtr<IDispatch> object(NewObject());
    UINT count = 0;
    EXPECT_EQ(S_OK, object->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    EXPECT_EQ(E_POINTER, object->GetTypeInfoCount(nullptr));

    ComPtr<ITypeInfo> first;
    ComPtr<ITypeInfo> fifth;
    ASSERT_EQ(S_OK, object->GetTypeInfo(0, LOCALE_USER_DEFAULT, first.Out()));
    ASSERT_EQ(S_OK, object->GetTypeInfo(5, LOCALE_USER_DEFAULT, fifth.Out()));
    EXPECT_EQ(first.Get(), fifth.Get());
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, first->GetTypeAttr(&attributes));
    EXPECT_TRUE(IsEqualIID(IID_IOrvWorkstationInfo, attributes->guid));
    first->ReleaseTypeAttr(attributes);
    EXPECT_EQ(E_POINTER, object->GetTypeInfo(0, LOCALE_USER_DEFAULT, nullptr));
    EXPECT_EQ(1, Holder().LoadCount());
}

TEST_F(WorkstationDispatch, ExactNamesComeFromTheCache)
{
    ComPtr<IDispatch> object(NewObject());
    DISPID id = 0;
    ASSERT_EQ(S_OK, IdOf(object.Get(), L"GetPhysicalMemory", &id));
    const LONG forwarded = Holder().ForwardedNameLookups();
    const std::pair<const wchar_t*, DISPID> members[] = {
        {L"GetPhysicalMemory", 1}, {L"Is64BitOS", 2},     {L"DoNotUpgradeTo64", 3},
        {L"NetVersion", 4},        {L"ViewerType", 5},    {L"ViewerVersion", 6},
        {L"GetLastClientInstallStatus", 7},
    };
    for (const auto& [name, expected] : members) {
        EXPECT_EQ(S_OK, IdOf(object.Get(), name, &id)) << name;
        EXPECT_EQ(expected, id) << name;
    }
    EXPECT_EQ(forwarded, Holder().ForwardedNameLookups());
}

TEST_F(WorkstationDispatch, OtherSpellingsGoToTheTypeInformation)
{
    ComPtr<IDispatch> object(NewObject());
    DISPID id = 0;
    ASSERT_EQ(S_OK, IdOf(object.Get(), L"GetPhysicalMemory", &id));
    const LONG forwarded = Holder().ForwardedNameLookups();
    EXPECT_EQ(S_OK, IdOf(object.Get(), L"getphysicalmemory", &id));
    EXPECT_EQ(1, id);
    EXPECT_EQ(S_OK, IdOf(object.Get(), L"VIEWERTYPE", &id));
    EXPECT_EQ(5, id);
    // A prefix of a cached name is no match either.
    EXPECT_EQ(DISP_E_UNKNOWNNAME, IdOf(object.Get(), L"Viewer", &id));
    EXPECT_EQ(DISPID_UNKNOWN, id);
    EXPECT_EQ(DISP_E_UNKNOWNNAME, IdOf(object.Get(), L"", &id));
    EXPECT_EQ(forwarded + 4, Holder().ForwardedNameLookups());
}

TEST_F(WorkstationDispatch, SeveralNamesGoToTheTypeInformation)
{
    ComPtr<IDispatch> object(NewObject());
    DISPID id = 0;
    ASSERT_EQ(S_OK, IdOf(object.Get(), L"GetPhysicalMemory", &id));
    const LONG forwarded = Holder().ForwardedNameLookups();
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"GetLastClientInstallStatus"),
                        const_cast<LPOLESTR>(L"ViewerType")};
    DISPID ids[2] = {99, 99};
    EXPECT_EQ(S_OK, object->GetIDsOfNames(IID_NULL, names, 2, LOCALE_USER_DEFAULT, ids));
    EXPECT_EQ(7, ids[0]);
    EXPECT_EQ(0, ids[1]);
    EXPECT_EQ(forwarded + 1, Holder().ForwardedNameLookups());
}

TEST_F(WorkstationDispatch, NullNamesAndIdsAreRefused)
{
    ComPtr<IDispatch> object(NewObject());
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"ViewerType"), nullptr};
    DISPID ids[2] = {};
    EXPECT_EQ(E_INVALIDARG, object->GetIDsOfNames(IID_NULL, nullptr, 1, LOCALE_USER_DEFAULT, ids));
    EXPECT_EQ(E_INVALIDARG, object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, nullptr));
    EXPECT_EQ(E_INVALIDARG, object->GetIDsOfNames(IID_NULL, names + 1, 1, LOCALE_USER_DEFAULT, ids));
    EXPECT_EQ(E_INVALIDARG, object->GetIDsOfNames(IID_NULL, names, 2, LOCALE_USER_DEFAULT, ids));
    EXPECT_EQ(E_INVALIDARG, object->GetIDsOfNames(IID_NULL, nullptr, 0, LOCALE_USER_DEFAULT, nullptr));
    EXPECT_EQ(E_INVALIDARG, object->GetIDsOfNames(IID_NULL, names, 0, LOCALE_USER_DEFAULT, ids));
}

class RecordedCalls : public WorkstationDispatch {
protected:
    void SetUp() override
    {
        recorder_ = new RecordingWorkstation();
        recorder_->AddRef();
        object_ = recorder_;
    }
    void TearDown() override { EXPECT_EQ(0u, object_->Release()); }

    RecordingWorkstation* recorder_ = nullptr;
    IDispatch* object_ = nullptr;
    DispatchCall call_;
};

TEST_F(RecordedCalls, EveryDispatchIdReachesItsMember)
{
    ASSERT_EQ(S_OK, call_.Method(object_, 1));
    EXPECT_EQ(VT_I4, V_VT(&call_.Result()));
    EXPECT_EQ(3072, V_I4(&call_.Result()));
    ASSERT_EQ(S_OK, call_.Method(object_, 2));
    EXPECT_EQ(VT_BOOL, V_VT(&call_.Result()));
    EXPECT_EQ(VARIANT_TRUE, V_BOOL(&call_.Result()));
    ASSERT_EQ(S_OK, call_.Get(object_, 4));
    ASSERT_EQ(VT_BSTR, V_VT(&call_.Result()));
    EXPECT_STREQ(L"4.8.9032.0 533325", V_BSTR(&call_.Result()));
    ASSERT_EQ(S_OK, call_.Get(object_, 5));
    EXPECT_EQ(VT_I4, V_VT(&call_.Result()));
    EXPECT_EQ(2, V_I4(&call_.Result()));
    ASSERT_EQ(S_OK, call_.Get(object_, 6));
    ASSERT_EQ(VT_BSTR, V_VT(&call_.Result()));
    EXPECT_STREQ(L"7.1.0.12", V_BSTR(&call_.Result()));
    ASSERT_EQ(S_OK, call_.Method(object_, 7, {LongArgument(2)}));
    EXPECT_EQ(VT_I4, V_VT(&call_.Result()));
    EXPECT_EQ(1603, V_I4(&call_.Result()));
    EXPECT_EQ("GetPhysicalMemory;Is64BitOS;get_NetVersion;get_ViewerType;get_ViewerVersion;"
              "GetLastClientInstallStatus(2);",
              recorder_->calls);
}

TEST_F(RecordedCalls, PropertyGetAndPutOfTheSameId)
{
    ASSERT_EQ(S_OK, call_.Get(object_, 3));
    EXPECT_EQ(VT_BOOL, V_VT(&call_.Result()));
    EXPECT_EQ(VARIANT_TRUE, V_BOOL(&call_.Result()));
    EXPECT_EQ(S_OK, call_.Put(object_, 3, BoolArgument(VARIANT_TRUE)));
    EXPECT_EQ(S_OK, call_.Put(object_, 3, BoolArgument(VARIANT_FALSE)));
    // Converted to VARIANT_BOOL on the way.
    EXPECT_EQ(S_OK, call_.Put(object_, 3, LongArgument(5)));
    EXPECT_EQ("get_DoNotUpgradeTo64;put_DoNotUpgradeTo64(-1);put_DoNotUpgradeTo64(0);"
              "put_DoNotUpgradeTo64(-1);",
              recorder_->calls);
}

TEST_F(RecordedCalls, DispatchErrorsAndMemberFailuresPassThrough)
{
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, call_.Method(object_, 99));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, call_.Put(object_, 5, LongArgument(1)));
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, call_.Method(object_, 7));
    Bstr text(L"not a number");
    EXPECT_EQ(DISP_E_TYPEMISMATCH, call_.Method(object_, 7, {StringArgument(text.Get())}));
    EXPECT_EQ("", recorder_->calls);
    EXPECT_EQ(DISP_E_EXCEPTION, call_.Method(object_, 7, {LongArgument(0)}));
    EXPECT_EQ(E_ACCESSDENIED, call_.Exception().scode);
    EXPECT_EQ("GetLastClientInstallStatus(0);", recorder_->calls);
}

TEST_F(RecordedCalls, MissingParametersAreRefused)
{
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(E_INVALIDARG, object_->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                            nullptr, &result, nullptr, nullptr));
    DISPPARAMS noArguments = {nullptr, nullptr, 1, 0};
    EXPECT_EQ(E_INVALIDARG, object_->Invoke(7, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                            &noArguments, &result, nullptr, nullptr));
    VARIANT value = BoolArgument(VARIANT_TRUE);
    DISPPARAMS noNames = {&value, nullptr, 1, 1};
    EXPECT_EQ(E_INVALIDARG, object_->Invoke(3, IID_NULL, LOCALE_USER_DEFAULT,
                                            DISPATCH_PROPERTYPUT, &noNames, nullptr, nullptr,
                                            nullptr));
    EXPECT_EQ("", recorder_->calls);
}

} // namespace
