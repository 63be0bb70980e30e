// The peer comparison: a VBScript that gathers the same facts with WMI and
// WScript.Shell.RegRead, against one that asks the component; both run by
// the platform's cscript, timed inside (Timer over N iterations) and whole.
// Then the readiness report as management tools run it: one whole process of
// readiness_report.exe against one whole cscript process of the JScript
// report and of the WMI peer.
#include "bench/benchmarks.h"

#include <algorithm>
#include <vector>

#include "bench/child_process.h"

namespace {

// Runs of each script, alternating, so that a busy machine disturbs both alike.
constexpr int kRuns = 5;
// Enough for about half a second each: the script Timer ticks in 1/128 s here.
constexpr int kPeerIterations = 150;
constexpr int kComponentIterations = 300;

struct ScriptRun {
    bool ok = false;
    double perIterationMicroseconds = 0;
    std::string detail;
};

// `mode` is "wmi" or "component" (bench/peer_facts.vbs).
std::wstring ScriptCommand(const wchar_t* mode, int iterations)
{
    return L"cscript.exe //nologo \"" + std::wstring(TRIVELD_BENCH_SCRIPT_DIR) +
           L"\\peer_facts.vbs\" " + mode + L" " + std::to_wstring(iterations);
}

std::string AnswersOf(const std::string& output)
{
    const size_t at = output.find("answers: ");
    if (at == std::string::npos) {
        return "";
    }
    const size_t end = output.find_first_of("\r\n", at);
    return output.substr(at + 9, end == std::string::npos ? std::string::npos : end - at - 9);
}

ScriptRun RunScript(const wchar_t* mode, int iterations)
{
    ScriptRun run;
    const ChildRun child = RunChild(ScriptCommand(mode, iterations));
    const double seconds = ValueOf(child.output, "seconds");
    const double errors = ValueOf(child.output, "errors");
    if (!child.started || seconds < 0) {
        run.detail = child.output.empty() ? "cscript did not run" : child.output;
        return run;
    }
    run.ok = errors == 0;
    run.perIterationMicroseconds = seconds * 1e6 / iterations;
    run.detail = (errors == 0 ? "" : std::to_string(static_cast<int>(errors)) + " errors; ") +
                 AnswersOf(child.output);
    return run;
}

// The report, JSON on standard output, as a management tool starts it.
const std::wstring kReportProgram =
    L"\"" + std::wstring(TRIVELD_BENCH_REPORT_PROGRAM) + L"\" /json";
const std::wstring kReportScript =
    L"cscript.exe //nologo \"" + std::wstring(TRIVELD_BENCH_REPORT_SCRIPT) + L"\" /json";

// One whole process: its wall time, and whether it ended READY (exit 0).
struct WholeRun {
    double microseconds = 0;
    bool ready = false;
};

WholeRun RunWhole(const std::wstring& commandLine)
{
    const ChildRun child = RunChild(commandLine);
    return {child.wallMicroseconds, child.started && child.exitCode == 0};
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Median per-iteration time over the runs; the detail of the last run.
ScriptRun MedianRun(const std::vector<ScriptRun>& runs)
{
    std::vector<double> times;
    ScriptRun summary;
    summary.ok = true;
    for (const ScriptRun& run : runs) {
        summary.ok = summary.ok && run.ok;
        summary.detail = run.detail;
        times.push_back(run.perIterationMicroseconds);
    }
    summary.perIterationMicroseconds = Median(times);
    return summary;
}

} // namespace

void BenchScriptPeers(ResultsTable& table)
{
    table.Section("Peer comparison from a script client (cscript, VBScript; vs = the component "
                  "script; target: the component is faster)");
    std::vector<ScriptRun> peerRuns;
    std::vector<ScriptRun> componentRuns;
    std::vector<double> peerWhole;
    std::vector<double> componentWhole;
    std::vector<double> programWhole;
    std::vector<double> reportScriptWhole;
    bool reportsReady = true;
    for (int run = 0; run < kRuns; ++run) {
        peerRuns.push_back(RunScript(L"wmi", kPeerIterations));
        componentRuns.push_back(RunScript(L"component", kComponentIterations));
        peerWhole.push_back(RunChild(ScriptCommand(L"wmi", 1)).wallMicroseconds);
        componentWhole.push_back(RunChild(ScriptCommand(L"component", 1)).wallMicroseconds);
        const WholeRun program = RunWhole(kReportProgram);
        const WholeRun script = RunWhole(kReportScript);
        programWhole.push_back(program.microseconds);
        reportScriptWhole.push_back(script.microseconds);
        reportsReady = reportsReady && program.ready && script.ready;
    }
    const ScriptRun peer = MedianRun(peerRuns);
    const ScriptRun component = MedianRun(componentRuns);
    const std::string runs = "median of " + std::to_string(kRuns) + " runs";
    table.Row({"component script: the seven answers, per iteration",
               component.ok ? Micro(component.perIterationMicroseconds) : "", "", "", "",
               runs + " of " + std::to_string(kComponentIterations) + " iterations (Timer); " +
                   component.detail});
    std::string peerNote = runs + " of " + std::to_string(kPeerIterations) +
                           " iterations (Timer); " + peer.detail;
    std::string ratio;
    if (peer.ok && component.ok) {
        const double factor = peer.perIterationMicroseconds / component.perIterationMicroseconds;
        ratio = Fixed(factor, 2);
        peerNote = (factor > 1 ? "component faster; " : "component SLOWER; ") + peerNote;
    }
    table.Row({"WMI + RegRead script: the same facts, per iteration",
               peer.ok ? Micro(peer.perIterationMicroseconds) : "", "",
               component.ok ? Micro(component.perIterationMicroseconds) : "", ratio, peerNote});
    const double peerProcess = Median(peerWhole);
    const double componentProcess = Median(componentWhole);
    table.Row({"component script, whole cscript process, 1 iteration", Micro(componentProcess), "",
               "", "", runs + "; process start, CreateObject, the answers, exit"});
    table.Row({"WMI + RegRead script, whole cscript process, 1 iteration", Micro(peerProcess), "",
               Micro(componentProcess), Fixed(peerProcess / componentProcess, 2),
               std::string(peerProcess > componentProcess ? "component faster; "
                                                          : "component SLOWER; ") +
                   runs + "; process start, WMI connection, the answers, exit"});

    table.Section("The readiness report as management tools run it: whole processes (vs = "
                  "readiness_report.exe /json; target: the program is faster)");
    const double program = Median(programWhole);
    const std::string ready = reportsReady ? "" : "a report did NOT end READY; ";
    table.Row({"readiness_report.exe /json, whole process", Micro(program), "", "", "",
               ready + runs + "; process start, CoCreateInstance, the answers, JSON, exit"});
    const double script = Median(reportScriptWhole);
    table.Row({"readiness_report.js /json, whole cscript process", Micro(script), "",
               Micro(program), Fixed(script / program, 2),
               std::string(script > program ? "program faster; " : "program SLOWER; ") + runs});
    table.Row({"WMI + RegRead script, whole cscript process", Micro(peerProcess), "",
               Micro(program), Fixed(peerProcess / program, 2),
               std::string(peerProcess > program ? "program faster; " : "program SLOWER; ") +
                   runs + "; the facts only, no verdict"});
}
