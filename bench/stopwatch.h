#ifndef TRIVELD_BENCH_STOPWATCH_H
#define TRIVELD_BENCH_STOPWATCH_H

#include <windows.h>

#include <functional>
#include <vector>

// Per-call figures of one measured operation, in microseconds.
struct Timing {
    double median = 0;
    double p95 = 0;
    long callsPerSample = 0;
    long samples = 0;
};

// QueryPerformanceCounter in microseconds since an arbitrary origin.
double NowMicroseconds();

// Times `call` after a warm-up. Each sample is a batch of calls long enough
// to dwarf the counter's resolution; the figures are per call.
Timing Measure(const std::function<void()>& call, long samples = 201);

// Times several calls with their batches interleaved (a, b, c, a, b, c, ...)
// so that a busy machine disturbs each alike and their ratios stay fair.
std::vector<Timing> MeasureInterleaved(const std::vector<std::function<void()>>& calls,
                                       long samples = 201);

#endif
