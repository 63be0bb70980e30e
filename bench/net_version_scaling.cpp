// NetVersion over 10, 100 and 1,000 first-level setup keys in a scratch
// registry: the cost per key should stay the same.
#include "bench/benchmarks.h"

#include <oleauto.h>

#include <memory>
#include <string>

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
    const int counts[] = {10, 100, 1000};
    double previousCount = 0;
    double previousMedian = 0;
    for (const int count : counts) {
        ScratchRegistry scratch;
        ProvisionSetupKeys(scratch, count);
        BSTR text = nullptr;
        const HRESULT result = info->get_NetVersion(&text);
        std::string answer;
        for (const wchar_t* at = text; at != nullptr && *at != L'\0'; ++at) {
            answer += static_cast<char>(*at);
        }
        SysFreeString(text);
        const long samples = count >= 1000 ? 41 : 101;
        const std::vector<Timing> timings = MeasureInterleaved(
            {[&] {
                 BSTR ignored = nullptr;
                 info->get_NetVersion(&ignored);
                 SysFreeString(ignored);
             },
             [] { FloorNetVersion(); }},
            samples);
        const Timing& timing = timings[0];
        const Timing& floor = timings[1];
        std::string note = HresultText(result) + " " + answer + "; " +
                           Micro(timing.median / count) + " us per key";
        if (previousCount > 0) {
            note += ", marginal " +
                    Micro((timing.median - previousMedian) / (count - previousCount)) +
                    " us per added key";
        }
        table.Row({"NetVersion, " + std::to_string(count) + " keys", Micro(timing.median),
                   Micro(timing.p95), Micro(floor.median), Fixed(timing.median / floor.median, 2),
                   note});
        previousCount = count;
        previousMedian = timing.median;
    }
}
