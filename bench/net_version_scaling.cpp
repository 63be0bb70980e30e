// NetVersion over 10, 100 and 1,000 first-level setup keys in a scratch
// registry: the cost per key should stay the same.
#include "bench/benchmarks.h"

#include <oleauto.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/platform_floor.h"
#include "bench/stopwatch.h"
#include "tests/support/scratch_registry.h"

namespace {

const char kSetupRoot[] = "SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\";

// `count` finished versions v2.0.0 ... v2.0.<count-1>, each with the four values.
void ProvisionSetupKeys(const ScratchRegistry& scratch, int count)
{
    for (int index = 0; index < count; ++index) {
        const std::string key = std::string(kSetupRoot) + "v2.0." + std::to_string(index);
        SetString(scratch.MachineRoot(), key, "Version", "2.0." + std::to_string(index) + ".0");
        SetDword(scratch.MachineRoot(), key, "Install", 1);
        SetDword(scratch.MachineRoot(), key, "SP", 1);
        SetDword(scratch.MachineRoot(), key, "Release", 0);
    }
}

} // namespace

void BenchNetVersionScaling(IOrvWorkstationInfo* info, ResultsTable& table)
{
    table.Section("NetVersion over N first-level .NET keys (scratch HKLM via RegOverridePredefKey; "
                  "vs = platform floor)");
    constexpr int kSizes = 3;
    const int counts[kSizes] = {10, 100, 1000};
    // All three trees exist at once; each call first points HKLM at its own,
    // so that the sizes and their floors can be timed interleaved.
    std::unique_ptr<ScratchRegistry> scratch[kSizes];
    std::vector<std::function<void()>> calls;
    for (int size = 0; size < kSizes; ++size) {
        scratch[size] = std::make_unique<ScratchRegistry>();
        ProvisionSetupKeys(*scratch[size], counts[size]);
        const HKEY root = scratch[size]->MachineRoot();
        calls.push_back([info, root] {
            RegOverridePredefKey(HKEY_LOCAL_MACHINE, root);
            BSTR ignored = nullptr;
            info->get_NetVersion(&ignored);
            SysFreeString(ignored);
        });
        calls.push_back([root] {
            RegOverridePredefKey(HKEY_LOCAL_MACHINE, root);
            FloorNetVersion();
        });
    }
    std::string answers[kSizes];
    HRESULT results[kSizes];
    for (int size = 0; size < kSizes; ++size) {
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, scratch[size]->MachineRoot());
        BSTR text = nullptr;
        results[size] = info->get_NetVersion(&text);
        for (const wchar_t* at = text; at != nullptr && *at != L'\0'; ++at) {
            answers[size] += static_cast<char>(*at);
        }
        SysFreeString(text);
    }
    const std::vector<Timing> timings = MeasureInterleaved(calls, 61);
    for (int size = 0; size < kSizes; ++size) {
        const Timing& timing = timings[2 * size];
        const Timing& floor = timings[2 * size + 1];
        const int count = counts[size];
        std::string note = HresultText(results[size]) + " " + answers[size] + "; " +
                           Micro(timing.median / count) + " us per key";
        if (size > 0) {
            const Timing& previous = timings[2 * (size - 1)];
            note += ", marginal " +
                    Micro((timing.median - previous.median) / (count - counts[size - 1])) +
                    " us per added key";
        }
        table.Row({"NetVersion, " + std::to_string(count) + " keys", Micro(timing.median),
                   Micro(timing.p95), Micro(floor.median), Fixed(timing.median / floor.median, 2),
                   note});
    }
    // Later scratch trees are deleted first; the last one restores HKLM.
    for (int size = kSizes - 1; size >= 0; --size) {
        scratch[size].reset();
    }
}
