#ifndef TRIVELD_TESTS_FUZZ_RUN_H
#define TRIVELD_TESTS_FUZZ_RUN_H

#include <cstddef>
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

// Size and seed of a randomized run. The suite makes short runs with a fixed
// seed; TRIVELD_LONG_RUN=1 in the environment (./build.sh fuzz) selects the
// long runs, and TRIVELD_SEED=<number> replays one seed.
bool LongRun();
// `shortCount` in the suite, `longCount` in a long run.
size_t RunCount(size_t shortCount, size_t longCount);
// TRIVELD_SEED when set; otherwise a fixed seed for the suite and a seed
// from the clock for a long run.
uint64_t RunSeed();

// Prints what a run is about to do with its seed and the code page, before
// any case runs, so that even a crash leaves the seed to replay.
void AnnounceRun(const char* what, size_t count);

// Deterministic pseudo-random numbers (splitmix64): one seed, one sequence.
class FuzzRandom {
public:
    explicit FuzzRandom(uint64_t seed) : state_(seed) {}

    uint64_t Next();
    // Uniform in [0, bound); 0 when bound is 0.
    size_t Below(size_t bound);
    // True in `percent` of the calls.
    bool Chance(unsigned percent) { return Below(100) < percent; }
    template <typename T, size_t N>
    const T& Pick(const T (&items)[N])
    {
        return items[Below(N)];
    }

private:
    uint64_t state_;
};

// The seed of case `index` of a run with seed `runSeed`, so that one failing
// case can be replayed alone.
uint64_t CaseSeed(uint64_t runSeed, size_t index);

// Runs the cases of one randomized test. Each case gets a generator seeded
// for its index and returns what went wrong, or an empty text. Every failure
// names the seed and the case; the run stops after ten.
template <typename Case>
void RunCases(const char* what, size_t shortCount, size_t longCount, Case runCase)
{
    const uint64_t seed = RunSeed();
    const size_t count = RunCount(shortCount, longCount);
    AnnounceRun(what, count);
    long failures = 0;
    for (size_t index = 0; index < count && failures < 10; ++index) {
        FuzzRandom random(CaseSeed(seed, index));
        const std::string failure = runCase(random);
        if (!failure.empty()) {
            ++failures;
            ADD_FAILURE() << what << ", seed " << seed << " case " << index << ": " << failure;
        }
    }
}

// Printable form of arbitrary bytes: C escapes for everything outside ASCII
// graphics, so a failing input can be pasted back into a test.
std::string Escaped(const std::string& bytes);

#endif
