// The benchmark of Triveld.dll: run by `./build.sh bench` in a private Wine
// prefix where the DLL is registered and the example workstation provisioned.
// It reports and never fails on speed.
//   triveld_bench [--dll-size=BYTES --dll-imports=A.dll,B.dll,...]
//   triveld_bench --cold | --census   (child processes of the run itself)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/benchmarks.h"
#include "bench/results_table.h"

namespace {

constexpr long kSizeTargetBytes = 160 * 1024;

const char* OptionValue(int argc, char** argv, const char* name)
{
    const size_t length = std::strlen(name);
    for (int index = 1; index < argc; ++index) {
        if (std::strncmp(argv[index], name, length) == 0 && argv[index][length] == '=') {
            return argv[index] + length + 1;
        }
    }
    return nullptr;
}

bool IsSystemDll(std::string name)
{
    for (char& c : name) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    static const char* const kSystem[] = {"kernel32.dll", "advapi32.dll", "ole32.dll",
                                          "oleaut32.dll", "shlwapi.dll",  "version.dll",
                                          "msvcrt.dll",   "user32.dll"};
    for (const char* system : kSystem) {
        if (name == system) {
            return true;
        }
    }
    return false;
}

void AddSizeRows(ResultsTable& table, const char* size, const char* imports)
{
    table.Section(sizeof(void*) == 8
                      ? "The 64-bit product build/x86_64/Triveld.dll (stripped; target <= 160 KB, "
                        "system DLLs only)"
                      : "The 32-bit product build/i686/Triveld.dll (stripped; target <= 160 KB, "
                        "system DLLs only)");
    if (size == nullptr) {
        table.Row({"size", "", "", "", "", "not given (--dll-size)"});
        return;
    }
    const long bytes = std::strtol(size, nullptr, 10);
    table.Row({"size in bytes", std::to_string(bytes), "", std::to_string(kSizeTargetBytes),
               Fixed(static_cast<double>(bytes) / kSizeTargetBytes, 2),
               Fixed(bytes / 1024.0, 1) + " KB; " +
                   (bytes <= kSizeTargetBytes ? "target met" : "target MISSED")});
    std::string list = imports != nullptr ? imports : "";
    bool systemOnly = !list.empty();
    for (size_t start = 0; start < list.size();) {
        const size_t end = std::min(list.find(',', start), list.size());
        systemOnly = systemOnly && IsSystemDll(list.substr(start, end - start));
        start = end + 1;
    }
    table.Row({"imported DLLs", "", "", "", "",
               list + (systemOnly ? " (system DLLs only)" : " (NOT only system DLLs)")});
}

IOrvWorkstationInfo* CreateInfo(HRESULT* result)
{
    IOrvWorkstationInfo* info = nullptr;
    *result = CoCreateInstance(CLSID_OrvWorkstationInfo, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IOrvWorkstationInfo, reinterpret_cast<void**>(&info));
    return SUCCEEDED(*result) ? info : nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--cold") == 0) {
        return RunColdActivation();
    }
    if (argc > 1 && std::strcmp(argv[1], "--census") == 0) {
        return RunTypeInformationCensus();
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ResultsTable table({"Measurement", "median us", "p95 us", "vs", "ratio", "note"});
    BenchActivation(table);
    HRESULT created = S_OK;
    IOrvWorkstationInfo* info = CreateInfo(&created);
    if (info == nullptr) {
        std::fprintf(stderr, "CoCreateInstance of OrvWorkstationInfo failed: %s\n",
                     HresultText(created).c_str());
        return 1;
    }
    BenchMembers(info, table);
    BenchDispatch(info, table);
    CountTypeInformationCalls(table);
    BenchNetVersionScaling(info, table);
    info->Release();
    BenchScriptPeers(table);
    AddSizeRows(table, OptionValue(argc, argv, "--dll-size"),
                OptionValue(argc, argv, "--dll-imports"));
    table.Print();
    CoUninitialize();
    return 0;
}
