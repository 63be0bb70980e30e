#ifndef TRIVELD_BENCH_CHILD_PROCESS_H
#define TRIVELD_BENCH_CHILD_PROCESS_H

#include <string>

struct ChildRun {
    bool started = false;
    unsigned long exitCode = 0;
    std::string output;         // standard output and error together
    double wallMicroseconds = 0; // from CreateProcess to the process's end
};

// Runs `commandLine` to its end, capturing what it prints.
ChildRun RunChild(const std::wstring& commandLine);

// The value after "key=" in `output`, or -1 when absent.
double ValueOf(const std::string& output, const std::string& key);

// This program's own path, quoted for a command line.
std::wstring QuotedSelf();

#endif
