// The members through the virtual table and through IDispatch.
#include "bench/benchmarks.h"

#include <oleauto.h>

#include <cstdio>
#include <functional>
#include <vector>

#include "bench/platform_floor.h"
#include "bench/stopwatch.h"
#include "tests/support/dispatch_call.h"

namespace {

constexpr double kFloorTarget = 1.5;
constexpr LONG kStatusViewerType = 2;

struct MemberCase {
    const char* name;
    // One call through the virtual table; returns its HRESULT and a printable answer.
    std::function<HRESULT(IOrvWorkstationInfo*, std::string*)> call;
    // The same platform work made directly, with the answer it arrives at (in
    // the member's terms, or a prefix of them); null where the member has no
    // registry work.
    std::function<std::string()> floor;
};

std::string Narrow(const wchar_t* text)
{
    std::string narrow;
    for (; text != nullptr && *text != L'\0'; ++text) {
        narrow += static_cast<char>(*text < 128 ? *text : '?');
    }
    return narrow;
}

std::vector<MemberCase> Members()
{
    return {
        {"GetPhysicalMemory",
         [](IOrvWorkstationInfo* info, std::string* answer) {
             LONG value = 0;
             const HRESULT result = info->GetPhysicalMemory(&value);
             *answer = std::to_string(value) + " MiB";
             return result;
         },
         nullptr},
        {"Is64BitOS",
         [](IOrvWorkstationInfo* info, std::string* answer) {
             VARIANT_BOOL value = 0;
             const HRESULT result = info->Is64BitOS(&value);
             *answer = value ? "true" : "false";
             return result;
         },
         nullptr},
        {"DoNotUpgradeTo64 get",
         [](IOrvWorkstationInfo* info, std::string* answer) {
             VARIANT_BOOL value = 0;
             const HRESULT result = info->get_DoNotUpgradeTo64(&value);
             *answer = value ? "set" : "clear";
             return result;
         },
         [] { return std::string(FloorGetDoNotUpgradeTo64() ? "set" : "clear"); }},
        {"DoNotUpgradeTo64 put",
         [](IOrvWorkstationInfo* info, std::string* answer) {
             *answer = "set";
             return info->put_DoNotUpgradeTo64(VARIANT_TRUE);
         },
         [] { return std::string(FloorPutDoNotUpgradeTo64(true) ? "set" : "not stored"); }},
        {"NetVersion",
         [](IOrvWorkstationInfo* info, std::string* answer) {
             BSTR text = nullptr;
             const HRESULT result = info->get_NetVersion(&text);
             *answer = Narrow(text);
             SysFreeString(text);
             return result;
         },
         [] {
             const unsigned newest = FloorNetVersion();
             return std::to_string(newest / 100) + "." + std::to_string(newest % 100) + ".";
         }},
        {"ViewerType",
         [](IOrvWorkstationInfo* info, std::string* answer) {
             LONG value = 0;
             const HRESULT result = info->get_ViewerType(&value);
             *answer = std::to_string(value);
             return result;
         },
         [] { return std::to_string(FloorViewerType()); }},
        {"ViewerVersion",
         [](IOrvWorkstationInfo* info, std::string* answer) {
             BSTR text = nullptr;
             const HRESULT result = info->get_ViewerVersion(&text);
             *answer = Narrow(text);
             SysFreeString(text);
             return result;
         },
         [] { return std::to_string(FloorViewerVersion()) + "."; }},
        {"GetLastClientInstallStatus(2)",
         [](IOrvWorkstationInfo* info, std::string* answer) {
             LONG value = 0;
             const HRESULT result = info->GetLastClientInstallStatus(kStatusViewerType, &value);
             *answer = std::to_string(value);
             return result;
         },
         [] { return std::to_string(FloorInstallStatus(kStatusViewerType)); }},
    };
}

struct DispatchCase {
    const wchar_t* name;
    DISPID id;
    WORD flags;
    bool withStatusArgument;
    bool put;
};

const DispatchCase kDispatchCases[] = {
    {L"GetPhysicalMemory", 1, DISPATCH_METHOD, false, false},
    {L"Is64BitOS", 2, DISPATCH_METHOD, false, false},
    {L"DoNotUpgradeTo64", 3, DISPATCH_PROPERTYGET, false, false},
    {L"DoNotUpgradeTo64", 3, DISPATCH_PROPERTYPUT, false, true},
    {L"NetVersion", 4, DISPATCH_PROPERTYGET, false, false},
    {L"ViewerType", 5, DISPATCH_PROPERTYGET, false, false},
    {L"ViewerVersion", 6, DISPATCH_PROPERTYGET, false, false},
    {L"GetLastClientInstallStatus", 7, DISPATCH_METHOD, true, false},
};

HRESULT InvokeCase(IDispatch* object, DispatchCall& call, const DispatchCase& item, DISPID id)
{
    if (item.put) {
        return call.Put(object, id, BoolArgument(VARIANT_TRUE));
    }
    if (item.withStatusArgument) {
        return call.Invoke(object, id, item.flags, {LongArgument(kStatusViewerType)});
    }
    return call.Invoke(object, id, item.flags, {});
}

HRESULT InvokeByName(IDispatch* object, DispatchCall& call, const DispatchCase& item)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(item.name)};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT found = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(found)) {
        return found;
    }
    return InvokeCase(object, call, item, id);
}

} // namespace

std::string HresultText(HRESULT result)
{
    if (result == S_OK) {
        return "S_OK";
    }
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(result));
    return text;
}

void BenchMembers(IOrvWorkstationInfo* info, ResultsTable& table)
{
    table.Section("Members through the virtual table (vs = platform floor: the same registry, file, "
                  "version-resource and event-log calls made directly; target ratio <= 1.5)");
    FloorEventEntry();
    for (const MemberCase& member : Members()) {
        std::string answer;
        const HRESULT result = member.call(info, &answer);
        auto call = [&] {
            std::string ignored;
            member.call(info, &ignored);
        };
        std::vector<std::function<void()>> calls = {call};
        if (member.floor) {
            calls.push_back([&] { member.floor(); });
        }
        const std::vector<Timing> timings = MeasureInterleaved(calls);
        const Timing& timing = timings[0];
        std::vector<std::string> row = {std::string("vtable ") + member.name, Micro(timing.median),
                                        Micro(timing.p95), "", "", HresultText(result) + " " + answer};
        if (member.floor) {
            const Timing& floor = timings[1];
            const double ratio = timing.median / floor.median;
            row[3] = Micro(floor.median);
            row[4] = Fixed(ratio, 2);
            row[5] += ratio <= kFloorTarget ? "; floor target met" : "; floor target MISSED";
            // The floor must reach the member's answer, or it skipped the member's work.
            if (answer.compare(0, member.floor().size(), member.floor()) != 0) {
                row[5] += "; FLOOR ANSWERS " + member.floor();
            }
        }
        table.Row(row);
    }
    const Timing entry = Measure([] { FloorEventEntry(); });
    table.Row({"  floor part: one event-log entry", Micro(entry.median), Micro(entry.p95), "", "",
               "RegisterEventSourceW + ReportEventW + DeregisterEventSource"});
}

void BenchDispatch(IOrvWorkstationInfo* info, ResultsTable& table)
{
    table.Section("Members through IDispatch (vs = the same member through the virtual table)");
    IDispatch* object = nullptr;
    if (FAILED(info->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&object)))) {
        table.Row({"IDispatch", "", "", "", "", "QueryInterface failed"});
        return;
    }
    const std::vector<MemberCase> members = Members();
    DispatchCall call;
    for (size_t index = 0; index < members.size(); ++index) {
        const DispatchCase& item = kDispatchCases[index];
        const HRESULT byIdResult = InvokeCase(object, call, item, item.id);
        const HRESULT byNameResult = InvokeByName(object, call, item);
        const std::vector<Timing> timings = MeasureInterleaved({
            [&] {
                std::string ignored;
                members[index].call(info, &ignored);
            },
            [&] { InvokeCase(object, call, item, item.id); },
            [&] { InvokeByName(object, call, item); },
        });
        const Timing& vtable = timings[0];
        const Timing& byId = timings[1];
        const Timing& byName = timings[2];
        const std::string name = members[index].name;
        table.Row({"Invoke(DISPID) " + name, Micro(byId.median), Micro(byId.p95),
                   Micro(vtable.median), Fixed(byId.median / vtable.median, 2),
                   HresultText(byIdResult) + "; overhead " + Micro(byId.median - vtable.median) +
                       " us"});
        table.Row({"GetIDsOfNames+Invoke " + name, Micro(byName.median), Micro(byName.p95),
                   Micro(vtable.median), Fixed(byName.median / vtable.median, 2),
                   HresultText(byNameResult) + "; overhead " +
                       Micro(byName.median - vtable.median) + " us"});
    }
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"ViewerType")};
    LPOLESTR folded[] = {const_cast<LPOLESTR>(L"viewertype")};
    DISPID id = 0;
    const std::vector<Timing> lookups = MeasureInterleaved({
        [&] { object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id); },
        [&] { object->GetIDsOfNames(IID_NULL, folded, 1, LOCALE_USER_DEFAULT, &id); },
    });
    const Timing& lookup = lookups[0];
    const Timing& forwarded = lookups[1];
    table.Row({"GetIDsOfNames \"ViewerType\" (name cache)", Micro(lookup.median),
               Micro(lookup.p95), "", "", "exact name: answered by the cache"});
    table.Row({"GetIDsOfNames \"viewertype\" (type information)", Micro(forwarded.median),
               Micro(forwarded.p95), Micro(lookup.median),
               Fixed(forwarded.median / lookup.median, 2),
               "other spelling: the type information's own lookup"});
    object->Release();
}
