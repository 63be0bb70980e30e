// Many threads creating, calling and releasing OrvWorkstationInfo objects
// through the class object, on a fully set-up workstation: every answer must
// equal the single-threaded one, and afterwards no module lock, registry
// handle or heap block may be left behind. TRIVELD_LONG_RUN=1 makes the run
// long (./build.sh fuzz).
#include <windows.h>

#include <oleauto.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "frame/server_module.h"
#include "tests/support/com_ptr.h"
#include "tests/support/dispatch_call.h"
#include "tests/support/example_workstation.h"
#include "tests/support/fuzz_run.h"
#include "tests/support/handle_census.h"
#include "tests/support/heap_census.h"
#include "tests/support/loaded_dll.h"
#include "tests/support/scratch_registry.h"
#include "tests/support/type_library_registration.h"
#include "triveld.h"

namespace {

constexpr int kThreads = 8;

std::wstring Hex(HRESULT result)
{
    wchar_t text[16];
    swprintf(text, 16, L"%08lx", static_cast<unsigned long>(result));
    return text;
}

// One round of calls through the virtual table, written down as text. The
// put stores the value already there, so that every round reads the same.
std::wstring VtableRound(IOrvWorkstationInfo* info)
{
    std::wstring transcript;
    auto note = [&](const wchar_t* member, HRESULT result, const std::wstring& value) {
        transcript += std::wstring(member) + L" " + Hex(result) + L" " + value + L"; ";
    };
    LONG number = -7;
    HRESULT result = info->GetPhysicalMemory(&number);
    note(L"GetPhysicalMemory", result, std::to_wstring(number));
    VARIANT_BOOL flag = 7;
    result = info->Is64BitOS(&flag);
    note(L"Is64BitOS", result, std::to_wstring(flag));
    flag = 7;
    result = info->get_DoNotUpgradeTo64(&flag);
    note(L"get_DoNotUpgradeTo64", result, std::to_wstring(flag));
    note(L"put_DoNotUpgradeTo64", info->put_DoNotUpgradeTo64(VARIANT_TRUE), L"");
    Bstr text;
    result = info->get_NetVersion(text.Out());
    note(L"get_NetVersion", result, text.Text());
    number = -7;
    result = info->get_ViewerType(&number);
    note(L"get_ViewerType", result, std::to_wstring(number));
    result = info->get_ViewerVersion(text.Out());
    note(L"get_ViewerVersion", result, text.Text());
    for (LONG type : {1, 2, 0}) {
        number = -7;
        result = info->GetLastClientInstallStatus(type, &number);
        note(L"GetLastClientInstallStatus", result,
             std::to_wstring(type) + L"->" + std::to_wstring(number));
    }
    note(L"null out-pointers",
         info->GetPhysicalMemory(nullptr) | info->get_NetVersion(nullptr) |
             info->get_ViewerVersion(nullptr),
         L"");
    return transcript;
}

std::wstring VariantText(const VARIANT& value)
{
    switch (V_VT(&value)) {
    case VT_I4:
        return L"I4 " + std::to_wstring(V_I4(&value));
    case VT_BOOL:
        return L"BOOL " + std::to_wstring(V_BOOL(&value));
    case VT_BSTR:
        return L"BSTR " + std::wstring(V_BSTR(&value) != nullptr ? V_BSTR(&value) : L"<null>");
    default:
        return L"VT " + std::to_wstring(V_VT(&value));
    }
}

// The same questions as a script asks them: names, then Invoke.
std::wstring DispatchRound(IDispatch* object)
{
    std::wstring transcript;
    DispatchCall call;
    const wchar_t* const names[] = {L"GetPhysicalMemory", L"Is64BitOS", L"DoNotUpgradeTo64",
                                    L"NetVersion",        L"ViewerType", L"ViewerVersion",
                                    L"GetLastClientInstallStatus"};
    for (const wchar_t* name : names) {
        LPOLESTR list[] = {const_cast<LPOLESTR>(name)};
        DISPID id = DISPID_UNKNOWN;
        const HRESULT found = object->GetIDsOfNames(IID_NULL, list, 1, LOCALE_USER_DEFAULT, &id);
        transcript += std::wstring(name) + L" " + Hex(found) + L" " + std::to_wstring(id) + L": ";
        HRESULT result = E_FAIL;
        if (id == 1 || id == 2) {
            result = call.Method(object, id);
        } else if (id == 7) {
            result = call.Method(object, id, {LongArgument(2)});
        } else {
            result = call.Get(object, id);
        }
        transcript += Hex(result) + L" " + VariantText(call.Result()) + L"; ";
    }
    transcript += L"put " + Hex(call.Put(object, 3, BoolArgument(VARIANT_TRUE))) + L"; ";
    transcript += L"bad type " + Hex(call.Method(object, 7, {LongArgument(0)})) + L" " +
                  Hex(call.Exception().scode);
    return transcript;
}

struct Transcripts {
    std::wstring vtable;
    std::wstring dispatch;
};

// Where the threads get their class object from: the built DLL, or this
// program's copy of the frame when there is none.
struct ClassSource {
    const LoadedDll* dll = nullptr;

    IClassFactory* Factory() const
    {
        IClassFactory* factory = nullptr;
        void** out = reinterpret_cast<void**>(&factory);
        if (dll != nullptr) {
            dll->GetClassObject(CLSID_OrvWorkstationInfo, IID_IClassFactory, out);
        } else {
            DllGetClassObject(CLSID_OrvWorkstationInfo, IID_IClassFactory, out);
        }
        return factory;
    }
    HRESULT CanUnloadNow() const { return dll != nullptr ? dll->CanUnloadNow() : DllCanUnloadNow(); }
};

IOrvWorkstationInfo* NewObject(IClassFactory* factory)
{
    IOrvWorkstationInfo* object = nullptr;
    if (factory == nullptr ||
        factory->CreateInstance(nullptr, IID_IOrvWorkstationInfo,
                                reinterpret_cast<void**>(&object)) != S_OK) {
        return nullptr;
    }
    return object;
}

Transcripts SingleThreadedAnswers(const ClassSource& source)
{
    ComPtr<IClassFactory> factory(source.Factory());
    ComPtr<IOrvWorkstationInfo> object(NewObject(factory.Get()));
    if (object.Get() == nullptr) {
        return {};
    }
    return {VtableRound(object.Get()), DispatchRound(object.Get())};
}

// Collects the first wrong answer of any thread.
class Mismatches {
public:
    void Check(const std::wstring& expected, const std::wstring& actual, int thread, size_t round)
    {
        if (expected == actual) {
            return;
        }
        AcquireSRWLockExclusive(&guard_);
        if (count_++ == 0) {
            first_ = L"thread " + std::to_wstring(thread) + L" round " + std::to_wstring(round) +
                     L"\n  expected: " + expected + L"\n  actual:   " + actual;
        }
        ReleaseSRWLockExclusive(&guard_);
    }
    void Failure(const wchar_t* what, int thread, size_t round)
    {
        Check(L"success", what, thread, round);
    }
    long Count() const { return count_; }
    std::string First() const { return std::string(first_.begin(), first_.end()); }

private:
    SRWLOCK guard_ = SRWLOCK_INIT;
    long count_ = 0;
    std::wstring first_;
};

// One thread's rounds. A third use the object all threads share, the rest
// a new object; every fourth round fetches the class object afresh; rounds
// alternate between the virtual table and IDispatch.
void RunRounds(const ClassSource& source, IOrvWorkstationInfo* shared, const Transcripts& expected,
               int thread, size_t rounds, Mismatches& mismatches)
{
    ComPtr<IClassFactory> own(source.Factory());
    for (size_t round = 0; round < rounds; ++round) {
        ComPtr<IClassFactory> fresh;
        IClassFactory* factory = own.Get();
        if (round % 4 == 3) {
            *fresh.Out() = source.Factory();
            factory = fresh.Get();
        }
        ComPtr<IOrvWorkstationInfo> created;
        IOrvWorkstationInfo* object = shared;
        if ((round + thread) % 3 != 0) {
            *created.Out() = NewObject(factory);
            object = created.Get();
        }
        if (object == nullptr) {
            mismatches.Failure(L"object creation failed", thread, round);
            continue;
        }
        if ((round / 2 + thread) % 2 == 0) {
            mismatches.Check(expected.vtable, VtableRound(object), thread, round);
            continue;
        }
        ComPtr<IDispatch> dispatch;
        if (object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.Out())) !=
            S_OK) {
            mismatches.Failure(L"QueryInterface(IID_IDispatch) failed", thread, round);
            continue;
        }
        mismatches.Check(expected.dispatch, DispatchRound(dispatch.Get()), thread, round);
    }
}

// Threads of the system, as a COM client's are, not of this program's C++
// thread runtime: that runtime (winpthread) makes an event for one of its own
// mutexes the first time two of its threads contend for it, and keeps it for
// the life of the process, so with its threads the handle census counted that
// event whenever the first contention happened to fall inside the run.
class SystemThreads {
public:
    SystemThreads(int count, std::function<void(int)> body) : body_(std::move(body))
    {
        for (int index = 0; index < count; ++index) {
            starts_.push_back({this, index});
        }
        for (Start& start : starts_) {
            HANDLE thread = CreateThread(nullptr, 0, &SystemThreads::Main, &start, 0, nullptr);
            EXPECT_NE(nullptr, thread) << "CreateThread failed with " << GetLastError();
            if (thread != nullptr) {
                handles_.push_back(thread);
            }
        }
    }
    ~SystemThreads()
    {
        for (HANDLE thread : handles_) {
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
        }
    }
    SystemThreads(const SystemThreads&) = delete;
    SystemThreads& operator=(const SystemThreads&) = delete;

private:
    struct Start {
        SystemThreads* owner;
        int index;
    };
    static DWORD WINAPI Main(void* argument)
    {
        const Start* start = static_cast<const Start*>(argument);
        start->owner->body_(start->index);
        return 0;
    }

    std::function<void(int)> body_;
    std::vector<Start> starts_;
    std::vector<HANDLE> handles_;
};

void RunThreads(const ClassSource& source, IOrvWorkstationInfo* shared,
                const Transcripts& expected, size_t rounds, Mismatches& mismatches)
{
    HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(nullptr, start);
    {
        SystemThreads threads(kThreads, [&](int thread) {
            WaitForSingleObject(start, INFINITE);
            RunRounds(source, shared, expected, thread, rounds, mismatches);
        });
        SetEvent(start);
    }
    CloseHandle(start);
}

// Starts and joins the threads once with nothing to do, so that what the
// system keeps after a process's first threads is not counted as a leak.
void WarmUpThreads()
{
    SystemThreads threads(kThreads, [](int) {});
}

class Threads : public testing::Test {
protected:
    static void SetUpTestSuite() { RegisterTriveldTypeLib(); }

    // Loads the type information while the real HKCR is still visible (the
    // scratch registry hides the library's registration), then provisions.
    void Prepare(const ClassSource& source)
    {
        ComPtr<IClassFactory> factory(source.Factory());
        ASSERT_NE(nullptr, factory.Get());
        ComPtr<IOrvWorkstationInfo> object(NewObject(factory.Get()));
        ASSERT_NE(nullptr, object.Get());
        ComPtr<ITypeInfo> typeInfo;
        ASSERT_EQ(S_OK, object->GetTypeInfo(0, LOCALE_USER_DEFAULT, typeInfo.Out()));
        registry_ = std::make_unique<ScratchRegistry>();
        ProvisionExampleWorkstation(*registry_, VIEWER_VERSIONED_PATH);
    }

    void Run(const ClassSource& source)
    {
        const Transcripts expected = SingleThreadedAnswers(source);
        // Every member answers from the example workstation, not with an error.
        ASSERT_NE(std::wstring::npos, expected.vtable.find(L"get_NetVersion 00000000 4.8.3761.0;528040"))
            << std::string(expected.vtable.begin(), expected.vtable.end());
        ASSERT_NE(std::wstring::npos, expected.vtable.find(L"get_ViewerVersion 00000000 10.2.0.1537"));
        ASSERT_NE(std::wstring::npos, expected.vtable.find(L"1->1603"));
        ASSERT_NE(std::wstring::npos, expected.dispatch.find(L"ViewerType 00000000 5: 00000000 I4 2"));
        WarmUpThreads();

        const long handles = OpenHandleCount();
        const long blocks = BusyHeapBlocks();
        Mismatches mismatches;
        {
            ComPtr<IClassFactory> factory(source.Factory());
            ComPtr<IOrvWorkstationInfo> shared(NewObject(factory.Get()));
            ASSERT_NE(nullptr, shared.Get());
            factory.Reset();
            const size_t rounds = RunCount(32, 6000);
            AnnounceRun("thread rounds, each thread", rounds);
            RunThreads(source, shared.Get(), expected, rounds, mismatches);
            EXPECT_EQ(S_FALSE, source.CanUnloadNow()) << "the shared object is still alive";
        }
        // Both counts before any failure is recorded: a recorded failure's
        // text is on the heap too.
        const long handlesAfter = OpenHandleCount();
        const long blocksAfter = BusyHeapBlocks();
        EXPECT_EQ(0, mismatches.Count()) << mismatches.First();
        EXPECT_EQ(S_OK, source.CanUnloadNow());
        EXPECT_EQ(handles, handlesAfter) << "handles left open";
        EXPECT_EQ(blocks, blocksAfter) << "heap blocks left behind";
    }

    std::unique_ptr<ScratchRegistry> registry_;
};

TEST_F(Threads, HandleCensusSeesALeakedKey)
{
    ScratchRegistry registry;
    const long before = OpenHandleCount();
    HKEY leaked = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(registry.MachineRoot(), "Leaked", 0, nullptr, 0,
                                             KEY_READ, nullptr, &leaked, nullptr));
    EXPECT_EQ(before + 1, OpenHandleCount());
    RegCloseKey(leaked);
    EXPECT_EQ(before, OpenHandleCount());
}

TEST_F(Threads, EveryAnswerAsSingleThreadedOnThisProgramsFrame)
{
    const ClassSource source;
    Prepare(source);
    ASSERT_EQ(0, GetServerModule()->GetModuleLockCount());
    Run(source);
    EXPECT_EQ(0, GetServerModule()->GetModuleLockCount());
}

TEST_F(Threads, EveryAnswerAsSingleThreadedOnTheBuiltDll)
{
    LoadedDll dll;
    ASSERT_TRUE(dll.Loaded());
    const ClassSource source{&dll};
    Prepare(source);
    Run(source);
    registry_.reset();
}

} // namespace
