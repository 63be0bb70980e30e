// Every allocation of object creation, NetVersion, ViewerVersion and the
// registration scripts made to fail in turn: the 1st, then the 2nd, ...
// until a run completes without reaching the refused one. Each run must give
// its documented result and leave nothing behind: no heap block, task-memory
// block, string or module lock, and in the registry no more than the
// interpreter's own rollback leaves.
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "frame/class_factory.h"
#include "frame/object_map.h"
#include "frame/server_module.h"
#include "frame/type_info_holder.h"
#include "frame/workstation_creator.h"
#include "registration/module_type_library.h"
#include "registration/registrar.h"
#include "registration/registry_script_parser.h"
#include "registration/script_resource.h"
#include "resources/resource_ids.h"
#include "service/workstation_info.h"
#include "tests/support/allocation_failures.h"
#include "tests/support/com_ptr.h"
#include "tests/support/event_recorder.h"
#include "tests/support/heap_census.h"
#include "tests/support/registry_snapshot.h"
#include "tests/support/scratch_registry.h"
#include "tests/support/source_file.h"
#include "tests/support/workstation_object.h"
#include "tests/support/type_library_registration.h"
#include "triveld.h"

namespace {

// No component path makes this many allocations; a sweep that gets here
// never completes.
constexpr int kMostAllocations = 200;

LONG LockCount()
{
    return GetServerModule()->GetModuleLockCount();
}

class AllocationFailure : public testing::Test {
protected:
    void SetUp() override { SuspendLeakCheck(false); }

    AllocationFailures failures_;
};

// --- creation: class object, object, snapshot, type information ---

// A holder of this program's own, so that every run loads it afresh.
TypeInfoHolder sweepHolder(&IID_IOrvWorkstationInfo, &LIBID_TriveldLib, 2, 0);

struct CreationOutcome {
    HRESULT classObject = E_UNEXPECTED;
    HRESULT instance = E_UNEXPECTED;
    HRESULT nameLookup = E_UNEXPECTED;
    bool loaded = false;
    bool answeredFromCache = false;
};

// A client's way from a class object of a fresh object map to an object,
// then a name looked up by the type information; stops at the first failure.
CreationOutcome CreateAndLookUp()
{
    CreationOutcome outcome;
    ObjectMapEntry row = {&CLSID_OrvWorkstationInfo, nullptr, &ClassFactoryCreator,
                          &CreateWorkstationInfo, nullptr, 0, nullptr, nullptr, nullptr};
    ObjectMapEntry* rows[] = {&row};
    ObjectMap map(rows, 1);
    ComPtr<IClassFactory> factory;
    outcome.classObject = map.GetClassObject(CLSID_OrvWorkstationInfo, IID_IClassFactory,
                                             reinterpret_cast<void**>(factory.Out()));
    if (FAILED(outcome.classObject)) {
        EXPECT_EQ(nullptr, factory.Get());
        EXPECT_EQ(nullptr, row.cachedClassObject);
        return outcome;
    }
    ComPtr<IOrvWorkstationInfo> object;
    outcome.instance = factory->CreateInstance(nullptr, IID_IOrvWorkstationInfo,
                                               reinterpret_cast<void**>(object.Out()));
    if (FAILED(outcome.instance)) {
        EXPECT_EQ(nullptr, object.Get());
        return outcome;
    }
    LONG memory = 0;
    EXPECT_EQ(S_OK, object->GetPhysicalMemory(&memory));

    const LONG loads = sweepHolder.LoadCount();
    const LONG forwarded = sweepHolder.ForwardedNameLookups();
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"NetVersion")};
    DISPID id = DISPID_UNKNOWN;
    outcome.nameLookup = sweepHolder.GetIDsOfNames(names, 1, LOCALE_USER_DEFAULT, &id);
    if (SUCCEEDED(outcome.nameLookup)) {
        EXPECT_EQ(4, id);
    }
    outcome.loaded = sweepHolder.LoadCount() == loads + 1;
    outcome.answeredFromCache =
        SUCCEEDED(outcome.nameLookup) && sweepHolder.ForwardedNameLookups() == forwarded;
    return outcome;
}

TEST_F(AllocationFailure, CreationAtEveryAllocation)
{
    // Every load leaves its clean-up entry with the module until the module
    // ends; the census below accounts for them one by one.
    SuspendLeakCheck(true);
    RegisterTriveldTypeLib();
    // A first load, so that what the automation runtime keeps from it is
    // not counted against a run.
    CreateAndLookUp();
    TypeInfoHolder::ReleaseTypeInformation(&sweepHolder);

    struct Expected {
        HRESULT classObject;
        HRESULT instance;
        HRESULT nameLookup;
        bool loaded;
        bool answeredFromCache;
    };
    const HRESULT kNotReached = E_UNEXPECTED;
    const Expected expected[] = {
        // the class factory
        {E_OUTOFMEMORY, kNotReached, kNotReached, false, false},
        // the object
        {S_OK, E_OUTOFMEMORY, kNotReached, false, false},
        // its PlatformFacts
        {S_OK, E_OUTOFMEMORY, kNotReached, false, false},
        // the clean-up entry of the type information: without it the type
        // information would never be released, so it is not kept
        {S_OK, S_OK, E_OUTOFMEMORY, false, false},
        // the name cache: the type information answers instead
        {S_OK, S_OK, S_OK, true, false},
        // nothing refused
        {S_OK, S_OK, S_OK, true, true},
    };
    const size_t runs = sizeof(expected) / sizeof(expected[0]);
    for (size_t run = 0; run < runs; ++run) {
        const int nth = static_cast<int>(run) + 1;
        SCOPED_TRACE("allocation " + std::to_string(nth) + " refused");
        const LONG locks = LockCount();
        const LONG loads = sweepHolder.LoadCount();
        const long blocks = BusyHeapBlocks();

        failures_.FailAt(nth);
        const CreationOutcome outcome = CreateAndLookUp();
        const bool refused = failures_.Refused();
        failures_.FailAt(0);
        TypeInfoHolder::ReleaseTypeInformation(&sweepHolder);

        EXPECT_EQ(run + 1 < runs, refused);
        EXPECT_EQ(expected[run].classObject, outcome.classObject);
        EXPECT_EQ(expected[run].instance, outcome.instance);
        EXPECT_EQ(expected[run].nameLookup, outcome.nameLookup);
        EXPECT_EQ(expected[run].loaded, outcome.loaded);
        EXPECT_EQ(expected[run].answeredFromCache, outcome.answeredFromCache);
        EXPECT_EQ(locks, LockCount());
        // What stays is one clean-up entry per load, and nothing else.
        EXPECT_EQ(blocks + (sweepHolder.LoadCount() - loads), BusyHeapBlocks());
    }
}

// --- NetVersion and ViewerVersion ---

const char kSetupKey[] = "SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full";
const char kViewerServer[] = "CLSID\\{6E2B8D34-5F1C-4A79-B3E8-0D4C7A2F9E51}\\LocalServer32";

struct EntryExpectation {
    WORD type;
    std::wstring beginning;
};

void ExpectEntries(const EventRecorder& recorder, const std::vector<EntryExpectation>& expected)
{
    const std::vector<RecordedEvent> events = recorder.Events();
    ASSERT_EQ(expected.size(), events.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(expected[i].type, events[i].type) << i;
        const std::wstring beginning = Composed(expected[i].beginning);
        EXPECT_EQ(beginning, events[i].text.substr(0, beginning.size())) << i;
    }
}

// One member that answers a BSTR, asked with the nth allocation refused.
struct TextAnswer {
    HRESULT result;
    std::wstring text;
    bool isNull;
    long stringsMade;
    bool refused;
};

template <typename Member>
TextAnswer AskWithFailure(AllocationFailures& failures, int nth, Member member)
{
    BSTR answer = reinterpret_cast<BSTR>(1);
    failures.FailAt(nth);
    const HRESULT result = member(&answer);
    TextAnswer outcome{result, answer != nullptr ? std::wstring(answer) : std::wstring(),
                       answer == nullptr, failures.StringsMade(), failures.Refused()};
    failures.FailAt(0);
    SysFreeString(answer);
    return outcome;
}

// One run of a sweep over a member that answers a BSTR.
struct TextRun {
    HRESULT result;
    // Null for a null BSTR.
    const wchar_t* text;
    std::vector<EntryExpectation> entries;
};

class MemberAllocationFailure : public AllocationFailure {
protected:
    MemberAllocationFailure() { object_ = NewWorkstationInfo(); }
    ~MemberAllocationFailure() override { object_->Release(); }

    // Run n refuses allocation n; only the last run completes unrefused.
    template <typename Member>
    void Sweep(Member member, const std::vector<TextRun>& runs)
    {
        for (size_t run = 0; run < runs.size(); ++run) {
            SCOPED_TRACE("allocation " + std::to_string(run + 1) + " refused");
            const TextRun& expected = runs[run];
            recorder_.Clear();
            const TextAnswer answer = AskWithFailure(failures_, static_cast<int>(run) + 1, member);
            EXPECT_EQ(run + 1 < runs.size(), answer.refused);
            EXPECT_EQ(expected.result, answer.result);
            if (expected.text == nullptr) {
                EXPECT_TRUE(answer.isNull);
                EXPECT_EQ(0, answer.stringsMade);
            } else {
                EXPECT_EQ(expected.text, answer.text);
                EXPECT_EQ(1, answer.stringsMade);
            }
            ExpectEntries(recorder_, expected.entries);
        }
    }

    ScratchRegistry registry_;
    EventRecorder recorder_;
    CWorkstationInfo* object_ = nullptr;
};

TEST_F(MemberAllocationFailure, NetVersionAtEveryAllocation)
{
    SetString(registry_.MachineRoot(), kSetupKey, "Version", "4.8.03761");
    SetDword(registry_.MachineRoot(), kSetupKey, "Install", 1);
    SetDword(registry_.MachineRoot(), kSetupKey, "Release", 528040);
    const std::wstring returned = L"Call to CWorkstationInfo::get_NetVersion returned ";
    Sweep([this](BSTR* text) { return object_->get_NetVersion(text); },
          {
              // The result text.
              {E_OUTOFMEMORY, nullptr, {{EVENTLOG_INFORMATION_TYPE, returned + L"'(null)'"}}},
              {S_OK, L"4.8.3761.0;528040",
               {{EVENTLOG_INFORMATION_TYPE, returned + L"'4.8.3761.0;528040'"}}},
          });
}

TEST_F(MemberAllocationFailure, ViewerVersionAtEveryAllocation)
{
    const std::wstring viewer = VIEWER_VERSIONED_PATH;
    SetWideString(registry_.ClassesRoot(), kViewerServer, nullptr, viewer);
    const std::wstring returned = L"Call to CWorkstationInfo::GetViewerVersion returned ";
    Sweep([this](BSTR* text) { return object_->get_ViewerVersion(text); },
          {
              // The version block: nothing read, nothing logged.
              {E_OUTOFMEMORY, nullptr, {}},
              // The text: logged with its status.
              {E_OUTOFMEMORY,
               nullptr,
               {{EVENTLOG_INFORMATION_TYPE,
                 returned + L"'(null)' for '" + viewer + L"' Error: 0x8007000e"}}},
              {S_OK,
               L"10.2.0.1537",
               {{EVENTLOG_INFORMATION_TYPE, returned + L"'10.2.0.1537' for '" + viewer + L"'"}}},
          });
}

// --- registration scripts ---

const wchar_t kQuotedModule[] = L"C:\\Program Files\\O''Brien\\Triveld.dll";

struct Replacement {
    const wchar_t* name;
    std::wstring text;
};

struct ScriptOutcome {
    HRESULT result;
    bool refused;
    long heapBlocksLeft;
    long taskBlocksHeld;
};

class ScriptAllocationFailure : public AllocationFailure {
protected:
    // Defines the standard replacements and `extra`, then runs the script,
    // all with the nth allocation refused.
    ScriptOutcome Run(int nth, const std::string& script, bool registering,
                      const std::vector<Replacement>& extra)
    {
        const long blocks = BusyHeapBlocks();
        failures_.FailAt(nth);
        HRESULT result = S_OK;
        {
            Registrar registrar;
            result = GetServerModule()->AddStandardReplacements(&registrar);
            for (const Replacement& replacement : extra) {
                if (SUCCEEDED(result)) {
                    result = registrar.DefineReplacement(replacement.name,
                                                         replacement.text.c_str());
                }
            }
            if (SUCCEEDED(result)) {
                RegistryScriptParser parser(&registrar);
                result = parser.RunScript(script.c_str(), registering);
            }
        }
        const ScriptOutcome outcome{result, failures_.Refused(), BusyHeapBlocks() - blocks,
                                    failures_.HeldTaskBlocks()};
        failures_.FailAt(0);
        return outcome;
    }

    // Sweeps a shipped script: every refused run fails with E_OUTOFMEMORY and
    // changes nothing (all its allocations come before the first registry
    // call); the run that completes leaves `finished`.
    void SweepShipped(const std::string& script, bool registering,
                      const std::set<std::string>& finished)
    {
        const std::vector<Replacement> module = {{L"Module", kQuotedModule},
                                                 {L"Module_Raw", kQuotedModule}};
        for (int nth = 1; nth <= kMostAllocations; ++nth) {
            SCOPED_TRACE("allocation " + std::to_string(nth) + " refused");
            const std::set<std::string> before = Tree();
            const ScriptOutcome outcome = Run(nth, script, registering, module);
            EXPECT_EQ(0, outcome.heapBlocksLeft);
            EXPECT_EQ(0, outcome.taskBlocksHeld);
            if (!outcome.refused) {
                EXPECT_EQ(S_OK, outcome.result);
                EXPECT_EQ(finished, Tree()) << DescribeDifference(finished, Tree());
                EXPECT_GT(nth, 1);
                return;
            }
            EXPECT_EQ(E_OUTOFMEMORY, outcome.result);
            ASSERT_EQ(before, Tree()) << DescribeDifference(before, Tree());
        }
        ADD_FAILURE() << "the script never completed";
    }

    std::set<std::string> Tree() const { return SnapshotTree(scratch_.ClassesRoot()); }

    void SetUp() override
    {
        AllocationFailure::SetUp();
        appIdScript_ = ReadSourceFile(L"resources\\appid.rgs");
        classScript_ = ReadSourceFile(L"resources\\orv_workstation_info.rgs");
        ASSERT_FALSE(appIdScript_.empty());
        ASSERT_FALSE(classScript_.empty());
    }

    ScratchRegistry scratch_;
    std::string appIdScript_;
    std::string classScript_;
};

TEST_F(ScriptAllocationFailure, ShippedScriptsAtEveryAllocation)
{
    // What each script leaves, from runs without any refusal.
    const std::vector<Replacement> module = {{L"Module", kQuotedModule},
                                             {L"Module_Raw", kQuotedModule}};
    const std::set<std::string> empty = Tree();
    ASSERT_EQ(S_OK, Run(0, appIdScript_, true, module).result);
    const std::set<std::string> appIdRegistered = Tree();
    ASSERT_EQ(S_OK, Run(0, classScript_, true, module).result);
    const std::set<std::string> bothRegistered = Tree();
    ASSERT_EQ(S_OK, Run(0, classScript_, false, module).result);
    const std::set<std::string> classUnregistered = Tree();
    ASSERT_EQ(S_OK, Run(0, appIdScript_, false, module).result);
    const std::set<std::string> bothUnregistered = Tree();
    ASSERT_NE(empty, appIdRegistered);
    // The sweeps start from nothing again; each ends where the next begins.
    for (const char* key : {"AppID", "CLSID"}) {
        RegDeleteTreeA(scratch_.ClassesRoot(), key);
    }
    ASSERT_EQ(empty, Tree());

    {
        SCOPED_TRACE("register the AppID script");
        SweepShipped(appIdScript_, true, appIdRegistered);
    }
    {
        SCOPED_TRACE("register the class script");
        SweepShipped(classScript_, true, bothRegistered);
    }
    {
        SCOPED_TRACE("unregister the class script");
        SweepShipped(classScript_, false, classUnregistered);
    }
    {
        SCOPED_TRACE("unregister the AppID script");
        SweepShipped(appIdScript_, false, bothUnregistered);
    }
}

// Values of every kind, so that the interpreter's own allocations are
// reached, and a replacement long enough to make the expansion grow.
const char kAllKindsScript[] = R"(HKCR
{
	NoRemove Triveld.AllocationTest
	{
		'%APPID%' = s 'Values'
		{
			val Text = s '%LONG%'
			val Number = d '42'
			val Bytes = b '0aFF'
			val List = m 'a\0b\0'
		}
	}
})";

TEST_F(ScriptAllocationFailure, EveryValueKindAtEveryAllocation)
{
    const std::string longText(3000, 'L');
    const std::vector<Replacement> replacements = {
        {L"LONG", std::wstring(longText.begin(), longText.end())}};
    const std::set<std::string> untouched = Tree();
    // The rollback removes the class key and its values; the NoRemove key stays.
    std::set<std::string> rolledBack = untouched;
    rolledBack.insert("Triveld.AllocationTest");

    struct Expected {
        int runs;
        HRESULT result;
        const std::set<std::string>* tree;
    };
    const Expected expected[] = {
        // The replacements (five allocations each), then the expansion: its
        // buffer, the two replacement texts and the buffer's growth.
        {14, E_OUTOFMEMORY, &untouched},
        // The number's text.
        {1, E_OUTOFMEMORY, &rolledBack},
        // The binary bytes.
        {1, E_FAIL, &rolledBack},
        // The multi-string list.
        {1, E_OUTOFMEMORY, &rolledBack},
    };
    int nth = 0;
    for (const Expected& group : expected) {
        for (int run = 0; run < group.runs; ++run) {
            ++nth;
            SCOPED_TRACE("allocation " + std::to_string(nth) + " refused");
            const ScriptOutcome outcome = Run(nth, kAllKindsScript, true, replacements);
            EXPECT_TRUE(outcome.refused);
            EXPECT_EQ(group.result, outcome.result);
            EXPECT_EQ(0, outcome.heapBlocksLeft);
            EXPECT_EQ(0, outcome.taskBlocksHeld);
            EXPECT_EQ(*group.tree, Tree()) << DescribeDifference(*group.tree, Tree());
            RegDeleteTreeA(scratch_.ClassesRoot(), "Triveld.AllocationTest");
        }
    }

    const ScriptOutcome outcome = Run(nth + 1, kAllKindsScript, true, replacements);
    EXPECT_FALSE(outcome.refused);
    EXPECT_EQ(S_OK, outcome.result);
    const std::set<std::string> tree = Tree();
    const std::string values = "Triveld.AllocationTest\\{C7E3A915-4B2D-4E8F-A06C-9D1F3B5E2A48}";
    EXPECT_EQ(1u, tree.count(values + " : Number = DWORD 42"));
    EXPECT_EQ(1u, tree.count(values + " : Text = SZ " + longText));
    EXPECT_EQ(untouched.size() + 7, tree.size());
}

} // namespace

namespace {

// The script as the registration reads it from the DLL's resources.
TEST_F(ScriptAllocationFailure, ScriptResourceAtEveryAllocation)
{
    const std::set<std::string> empty = Tree();
    for (int nth = 1; nth <= kMostAllocations; ++nth) {
        SCOPED_TRACE("allocation " + std::to_string(nth) + " refused");
        const long blocks = BusyHeapBlocks();
        failures_.FailAt(nth);
        HRESULT result = S_OK;
        {
            Registrar registrar;
            result = GetServerModule()->AddStandardReplacements(&registrar);
            if (SUCCEEDED(result)) {
                result = RunScriptResource(registrar, TRIVELD_DLL_PATH, IDR_APPID_SCRIPT,
                                           L"REGISTRY", true);
            }
        }
        const bool refused = failures_.Refused();
        const long taskBlocks = failures_.HeldTaskBlocks();
        failures_.FailAt(0);
        EXPECT_EQ(0, BusyHeapBlocks() - blocks);
        EXPECT_EQ(0, taskBlocks);
        if (!refused) {
            EXPECT_EQ(S_OK, result);
            EXPECT_NE(empty, Tree());
            EXPECT_GT(nth, 1);
            return;
        }
        EXPECT_EQ(E_OUTOFMEMORY, result);
        ASSERT_EQ(empty, Tree()) << DescribeDifference(empty, Tree());
    }
    ADD_FAILURE() << "the script never completed";
}

// The loaded path is the one allocation of the type library lookup.
TEST_F(AllocationFailure, ModuleTypeLibraryPath)
{
    HMODULE dll = LoadLibraryW(TRIVELD_DLL_PATH);
    ASSERT_NE(nullptr, dll);
    failures_.FailAt(1);
    BSTR path = nullptr;
    ITypeLib* library = nullptr;
    EXPECT_EQ(E_OUTOFMEMORY, LoadModuleTypeLibrary(dll, &path, &library));
    EXPECT_TRUE(failures_.Refused());
    EXPECT_EQ(nullptr, path);
    EXPECT_EQ(nullptr, library);
    failures_.FailAt(0);
    ASSERT_EQ(S_OK, LoadModuleTypeLibrary(dll, &path, &library));
    EXPECT_STREQ(TRIVELD_DLL_PATH, path);
    SysFreeString(path);
    library->Release();
    FreeLibrary(dll);
}

} // namespace
