#ifndef TRIVELD_BENCH_BENCHMARKS_H
#define TRIVELD_BENCH_BENCHMARKS_H

#include <windows.h>

#include <string>

#include "bench/results_table.h"
#include "triveld.h"

// The parts of the benchmark; each adds its section to the one table.

// The eight members through the virtual table, the registry-bound ones
// against their platform floor.
void BenchMembers(IOrvWorkstationInfo* info, ResultsTable& table);
// The same members through IDispatch, by dispatch id and by name.
void BenchDispatch(IOrvWorkstationInfo* info, ResultsTable& table);
// CoCreateInstance and the first answer, cold in fresh processes and warm here.
void BenchActivation(ResultsTable& table);
// What the DLL asks of the type information, counted in a fresh process.
void CountTypeInformationCalls(ResultsTable& table);
// NetVersion over scratch setup keys of growing size.
void BenchNetVersionScaling(IOrvWorkstationInfo* info, ResultsTable& table);
// The facts read by a VBScript with WMI and RegRead, and through the component;
// then readiness_report.exe against the script reports, as whole processes.
void BenchScriptPeers(ResultsTable& table);

// The child-process halves of BenchActivation and CountTypeInformationCalls.
int RunColdActivation();
int RunTypeInformationCensus();

// "S_OK" or "0x80070002".
std::string HresultText(HRESULT result);

#endif
