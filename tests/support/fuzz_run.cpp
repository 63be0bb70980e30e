#include "tests/support/fuzz_run.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

const char* Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0' ? value : nullptr;
}

} // namespace

bool LongRun()
{
    const char* value = Environment("TRIVELD_LONG_RUN");
    return value != nullptr && value[0] != '0';
}

size_t RunCount(size_t shortCount, size_t longCount)
{
    return LongRun() ? longCount : shortCount;
}

uint64_t RunSeed()
{
    static const uint64_t seed = [] {
        if (const char* text = Environment("TRIVELD_SEED")) {
            return static_cast<uint64_t>(std::strtoull(text, nullptr, 0));
        }
        if (!LongRun()) {
            return static_cast<uint64_t>(20261207);
        }
        LARGE_INTEGER now = {};
        QueryPerformanceCounter(&now);
        return static_cast<uint64_t>(now.QuadPart) ^ GetCurrentProcessId();
    }();
    return seed;
}

void AnnounceRun(const char* what, size_t count)
{
    std::printf("%s: seed %llu, %zu cases, code page %u\n", what,
                static_cast<unsigned long long>(RunSeed()), count, GetACP());
    std::fflush(stdout);
}

uint64_t FuzzRandom::Next()
{
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

size_t FuzzRandom::Below(size_t bound)
{
    return bound == 0 ? 0 : static_cast<size_t>(Next() % bound);
}

uint64_t CaseSeed(uint64_t runSeed, size_t index)
{
    FuzzRandom mixer(runSeed ^ (0xD1B54A32D192ED03ull * (index + 1)));
    return mixer.Next();
}

std::string Escaped(const std::string& bytes)
{
    std::string text;
    char escape[8];
    for (unsigned char byte : bytes) {
        if (byte == '\\' || byte == '"') {
            text += '\\';
            text += static_cast<char>(byte);
        } else if (byte == '\n') {
            text += "\\n";
        } else if (byte == '\t') {
            text += "\\t";
        } else if (byte >= 0x20 && byte < 0x7F) {
            text += static_cast<char>(byte);
        } else {
            // Octal, so that a following digit cannot join the escape.
            std::snprintf(escape, sizeof(escape), "\\%03o", byte);
            text += escape;
        }
    }
    return text;
}
