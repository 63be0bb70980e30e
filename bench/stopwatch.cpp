#include "bench/stopwatch.h"

#include <algorithm>

namespace {

// A batch should take at least this long, so the counter's tick is noise.
constexpr double kMinimumBatchMicroseconds = 200.0;
constexpr double kWarmUpMicroseconds = 30000.0;
constexpr long kLargestBatch = 1L << 24;

double Frequency()
{
    static const double perMicrosecond = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1e6;
    }();
    return perMicrosecond;
}

double TimeBatch(const std::function<void()>& call, long calls)
{
    const double start = NowMicroseconds();
    for (long i = 0; i < calls; ++i) {
        call();
    }
    return NowMicroseconds() - start;
}

// Doubles the batch until it takes long enough, then keeps calling until the
// warm-up time has passed.
long WarmUp(const std::function<void()>& call)
{
    long calls = 1;
    const double end = NowMicroseconds() + kWarmUpMicroseconds;
    while (TimeBatch(call, calls) < kMinimumBatchMicroseconds && calls < kLargestBatch) {
        calls *= 2;
    }
    while (NowMicroseconds() < end) {
        TimeBatch(call, calls);
    }
    return calls;
}

double Percentile(const std::vector<double>& sorted, double fraction)
{
    const size_t index =
        static_cast<size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(index, sorted.size() - 1)];
}

Timing Summarise(std::vector<double> perCall, long calls)
{
    std::sort(perCall.begin(), perCall.end());
    Timing timing;
    timing.median = Percentile(perCall, 0.5);
    timing.p95 = Percentile(perCall, 0.95);
    timing.callsPerSample = calls;
    timing.samples = static_cast<long>(perCall.size());
    return timing;
}

} // namespace

double NowMicroseconds()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / Frequency();
}

std::vector<Timing> MeasureInterleaved(const std::vector<std::function<void()>>& calls,
                                       long samples)
{
    std::vector<long> batch;
    for (const auto& call : calls) {
        batch.push_back(WarmUp(call));
    }
    std::vector<std::vector<double>> perCall(calls.size());
    for (long sample = 0; sample < samples; ++sample) {
        for (size_t index = 0; index < calls.size(); ++index) {
            perCall[index].push_back(TimeBatch(calls[index], batch[index]) /
                                     static_cast<double>(batch[index]));
        }
    }
    std::vector<Timing> timings;
    for (size_t index = 0; index < calls.size(); ++index) {
        timings.push_back(Summarise(std::move(perCall[index]), batch[index]));
    }
    return timings;
}

Timing Measure(const std::function<void()>& call, long samples)
{
    return MeasureInterleaved({call}, samples)[0];
}
