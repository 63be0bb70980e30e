// Creating the object through the COM runtime, cold and warm, and the count
// of what the DLL asks of the automation runtime.
#include "bench/benchmarks.h"

#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/child_process.h"
#include "bench/stopwatch.h"
#include "bench/type_library_census.h"

namespace {

constexpr int kColdRuns = 15;

// Creates the object and takes its first answer; returns the HRESULT.
HRESULT CreateAndAsk()
{
    IOrvWorkstationInfo* info = nullptr;
    HRESULT result = CoCreateInstance(CLSID_OrvWorkstationInfo, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IOrvWorkstationInfo, reinterpret_cast<void**>(&info));
    if (FAILED(result)) {
        return result;
    }
    LONG memory = 0;
    result = info->GetPhysicalMemory(&memory);
    info->Release();
    return result;
}

// The DLL the COM runtime loads for the class, from its registration.
std::wstring RegisteredServerPath()
{
    wchar_t path[MAX_PATH] = {};
    DWORD size = sizeof(path);
    if (RegGetValueW(HKEY_CLASSES_ROOT,
                     L"CLSID\\{5B1E0C42-7A93-4D61-9E2F-3C8A0D4B7E15}\\InprocServer32", nullptr,
                     RRF_RT_REG_SZ, nullptr, path, &size) != ERROR_SUCCESS) {
        return L"";
    }
    return path;
}

HRESULT LookUp(IDispatch* object, const wchar_t* name)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    return object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
}

HRESULT GetViewerType(IDispatch* object)
{
    DISPPARAMS none = {};
    VARIANT result;
    VariantInit(&result);
    const HRESULT invoked = object->Invoke(5, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                           &none, &result, nullptr, nullptr);
    VariantClear(&result);
    return invoked;
}

const wchar_t* const kExactNames[] = {L"GetPhysicalMemory", L"Is64BitOS", L"DoNotUpgradeTo64",
                                      L"NetVersion", L"ViewerType", L"ViewerVersion",
                                      L"GetLastClientInstallStatus"};

} // namespace

int RunColdActivation()
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const double start = NowMicroseconds();
    const HRESULT result = CreateAndAsk();
    const double elapsed = NowMicroseconds() - start;
    std::printf("cold_us=%.1f hr=%ld\n", elapsed, static_cast<long>(result));
    CoUninitialize();
    return SUCCEEDED(result) ? 0 : 1;
}

int RunTypeInformationCensus()
{
    constexpr int kObjects = 3;
    constexpr int kRounds = 100;
    constexpr int kFolded = 10;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // Loaded first, so the COM runtime finds this very image and its patched import.
    HMODULE module = LoadLibraryW(RegisteredServerPath().c_str());
    if (module == nullptr || !InstallTypeLibraryCensus(module)) {
        std::printf("census=unavailable\n");
        return 1;
    }
    const TypeLibraryCensus& census = Census();
    LONG setupCalls = -1;
    LONG exactLookups = 0;
    LONG invokes = 0;
    LONG lookupsBefore = 0;
    LONG invokesBefore = 0;
    LONG callsBefore = 0;
    for (int objectIndex = 0; objectIndex < kObjects; ++objectIndex) {
        IDispatch* object = nullptr;
        if (FAILED(CoCreateInstance(CLSID_OrvWorkstationInfo, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IDispatch, reinterpret_cast<void**>(&object)))) {
            std::printf("census=no-object\n");
            return 1;
        }
        if (setupCalls < 0) {
            LookUp(object, L"ViewerType"); // loads the library and builds the name cache
            setupCalls = census.typeInfoCalls;
            lookupsBefore = census.typeInfoGetIDsOfNames;
            invokesBefore = census.typeInfoInvoke;
            callsBefore = census.typeInfoCalls;
        }
        for (int round = 0; round < kRounds; ++round) {
            for (const wchar_t* name : kExactNames) {
                exactLookups += SUCCEEDED(LookUp(object, name)) ? 1 : 0;
            }
            invokes += SUCCEEDED(GetViewerType(object)) ? 1 : 0;
        }
        object->Release();
    }
    const LONG exactForwarded = census.typeInfoGetIDsOfNames - lookupsBefore;
    const LONG invokeForwarded = census.typeInfoInvoke - invokesBefore;
    const LONG otherCalls = census.typeInfoCalls - callsBefore - exactForwarded - invokeForwarded;
    // Other spellings must reach the type information: shows the count is live.
    IDispatch* object = nullptr;
    CoCreateInstance(CLSID_OrvWorkstationInfo, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                     reinterpret_cast<void**>(&object));
    const LONG foldedBefore = census.typeInfoGetIDsOfNames;
    for (int index = 0; index < kFolded && object != nullptr; ++index) {
        LookUp(object, L"viewertype");
    }
    if (object != nullptr) {
        object->Release();
    }
    std::printf("objects=%d exact=%ld exact_forwarded=%ld invokes=%ld invoke_forwarded=%ld "
                "other_calls=%ld setup_calls=%ld folded=%d folded_forwarded=%ld "
                "load_reg_type_lib=%ld get_type_info_of_guid=%ld\n",
                kObjects + 1, static_cast<long>(exactLookups), static_cast<long>(exactForwarded),
                static_cast<long>(invokes), static_cast<long>(invokeForwarded),
                static_cast<long>(otherCalls), static_cast<long>(setupCalls), kFolded,
                static_cast<long>(census.typeInfoGetIDsOfNames - foldedBefore),
                static_cast<long>(census.loadRegTypeLib),
                static_cast<long>(census.getTypeInfoOfGuid));
    CoUninitialize();
    return 0;
}

void BenchActivation(ResultsTable& table)
{
    table.Section("CoCreateInstance + first answer (GetPhysicalMemory) + Release");
    std::vector<double> cold;
    std::string failure;
    for (int run = 0; run < kColdRuns; ++run) {
        const ChildRun child = RunChild(QuotedSelf() + L" --cold");
        const double elapsed = ValueOf(child.output, "cold_us");
        if (!child.started || child.exitCode != 0 || elapsed < 0) {
            failure = child.output.empty() ? "child did not run" : child.output;
            break;
        }
        cold.push_back(elapsed);
    }
    if (cold.empty()) {
        table.Row({"cold (first in a fresh process)", "", "", "", "", failure});
    } else {
        std::sort(cold.begin(), cold.end());
        const double p95 = cold[std::min(cold.size() - 1, (cold.size() * 95 + 50) / 100 - 1)];
        table.Row({"cold (first in a fresh process)", Micro(cold[cold.size() / 2]), Micro(p95), "",
                   "", std::to_string(cold.size()) +
                           " fresh processes: DLL load, class object, object, first call"});
    }
    const HRESULT result = CreateAndAsk();
    const Timing warm = Measure([] { CreateAndAsk(); });
    table.Row({"warm (DLL already loaded)", Micro(warm.median), Micro(warm.p95), "", "",
               HresultText(result)});
}

void CountTypeInformationCalls(ResultsTable& table)
{
    table.Section("Calls into the automation runtime, counted in a fresh process (LoadRegTypeLib "
                  "import of the DLL redirected to a counting type library and type information)");
    const ChildRun child = RunChild(QuotedSelf() + L" --census");
    const long loads = static_cast<long>(ValueOf(child.output, "load_reg_type_lib"));
    if (!child.started || child.exitCode != 0 || loads < 0) {
        table.Row({"type information census", "", "", "", "", child.output});
        return;
    }
    auto value = [&](const char* key) { return static_cast<long>(ValueOf(child.output, key)); };
    const long objects = value("objects");
    table.Row({"LoadRegTypeLib calls", std::to_string(loads), "", "", "",
               std::to_string(objects) + " objects created; " +
                   (loads == 1 ? "loaded once per process" : "NOT once per process")});
    table.Row({"GetTypeInfoOfGuid calls", std::to_string(value("get_type_info_of_guid")), "", "",
               "", ""});
    table.Row({"ITypeInfo calls while loading", std::to_string(value("setup_calls")), "", "", "",
               "type attributes, function descriptions, names for the cache"});
    table.Row({"ITypeInfo::GetIDsOfNames for exact names", std::to_string(value("exact_forwarded")),
               "", "", "",
               "of " + std::to_string(value("exact")) + " exact lookups; " +
                   (value("exact_forwarded") == 0 ? "all from the name cache" : "NOT all cached")});
    table.Row({"ITypeInfo::GetIDsOfNames for other spellings",
               std::to_string(value("folded_forwarded")), "", "", "",
               "of " + std::to_string(value("folded")) + " lower-case lookups (count is live)"});
    table.Row({"ITypeInfo::Invoke", std::to_string(value("invoke_forwarded")), "", "", "",
               "of " + std::to_string(value("invokes")) + " Invoke calls (the member call itself)"});
    table.Row({"other ITypeInfo calls after loading", std::to_string(value("other_calls")), "", "",
               "", ""});
}
