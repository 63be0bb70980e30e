// Readiness report through the virtual table of IOrvWorkstationInfo: the
// compiled-client counterpart of readiness_report.js.
// Options: /minmemory:MIB and /minnet:VERSION, as in readiness_report.js.
// Exit code: 0 READY, 1 NOT READY, 2 the component cannot be created,
// 3 usage error, 4 unexpected error.
#include <windows.h>

#include <oleauto.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "triveld.h"

namespace {

enum ExitCode {
    kReady = 0,
    kNotReady = 1,
    kNoComponent = 2,
    kUsageError = 3,
    kUnexpectedError = 4
};

// A /minnet version. From 4.5 on Microsoft documents the minimum "Release"
// value of each version: the four-part version cannot tell 4.8.1 (4.8.9032)
// from 4.8 (4.8.3761). Earlier versions (release 0 here) compare major.minor.
struct NetRequirement {
    const wchar_t* text;
    unsigned long release;
    unsigned long major;
    unsigned long minor;
};

const NetRequirement kNetRequirements[] = {
    {L"2.0", 0, 2, 0},          {L"3.0", 0, 3, 0},          {L"3.5", 0, 3, 5},
    {L"4.5", 378389, 4, 5},     {L"4.5.1", 378675, 4, 5},   {L"4.5.2", 379893, 4, 5},
    {L"4.6", 393295, 4, 6},     {L"4.6.1", 394254, 4, 6},   {L"4.6.2", 394802, 4, 6},
    {L"4.7", 460798, 4, 7},     {L"4.7.1", 461308, 4, 7},   {L"4.7.2", 461808, 4, 7},
    {L"4.8", 528040, 4, 8},     {L"4.8.1", 533320, 4, 8},
};

struct Policy {
    bool hasMinMemory = false;
    unsigned long minMemory = 0;
    const NetRequirement* minNet = nullptr;
};

// Reads the decimal digits at `at` into `value`; false when there are none or
// the number exceeds `maximum`.
bool ReadDecimal(const std::wstring& text, size_t& at, unsigned long maximum, unsigned long& value)
{
    const size_t start = at;
    unsigned long long number = 0;
    for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at) {
        number = number * 10 + static_cast<unsigned>(text[at] - L'0');
        if (number > maximum) {
            return false;
        }
    }
    value = static_cast<unsigned long>(number);
    return at > start;
}

// Splits a NetVersion answer "major.minor.build.revision;release"; false for
// any other form.
bool SplitNetVersion(const std::wstring& text, unsigned long (&fields)[5])
{
    const wchar_t separators[] = L"...;";
    size_t at = 0;
    for (int i = 0; i < 5; ++i) {
        if (!ReadDecimal(text, at, 0xFFFFFFFFul, fields[i])) {
            return false;
        }
        if (i < 4 && (at >= text.size() || text[at++] != separators[i])) {
            return false;
        }
    }
    return at == text.size();
}

bool MeetsNet(const std::wstring& answer, const NetRequirement& required)
{
    unsigned long fields[5];
    if (!SplitNetVersion(answer, fields)) {
        return false;
    }
    if (required.release != 0) {
        return fields[4] >= required.release;
    }
    return fields[0] > required.major ||
           (fields[0] == required.major && fields[1] >= required.minor);
}

bool StartsWithOption(const std::wstring& argument, const wchar_t* option, std::wstring& rest)
{
    const size_t length = wcslen(option);
    if (argument.size() < length || _wcsnicmp(argument.c_str(), option, length) != 0) {
        return false;
    }
    rest = argument.substr(length);
    return true;
}

bool ParseMinMemory(const std::wstring& text, Policy& policy)
{
    size_t at = 0;
    if (!ReadDecimal(text, at, 2147483647ul, policy.minMemory) || at != text.size()) {
        std::fprintf(stderr, "/minmemory needs a whole number of MiB, not '%ls'\n", text.c_str());
        return false;
    }
    policy.hasMinMemory = true;
    return true;
}

bool ParseMinNet(const std::wstring& text, Policy& policy)
{
    for (const NetRequirement& requirement : kNetRequirements) {
        if (text == requirement.text) {
            policy.minNet = &requirement;
            return true;
        }
    }
    std::fprintf(stderr, "/minnet knows 2.0, 3.0, 3.5 and 4.5 to 4.8.1, not '%ls'\n", text.c_str());
    return false;
}

bool ParseOptions(int argc, wchar_t** argv, Policy& policy)
{
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        std::wstring value;
        bool parsed = false;
        if (StartsWithOption(argument, L"/minmemory:", value)) {
            parsed = ParseMinMemory(value, policy);
        } else if (StartsWithOption(argument, L"/minnet:", value)) {
            parsed = ParseMinNet(value, policy);
        } else {
            std::fprintf(stderr, "unknown option '%ls'\n", argument.c_str());
        }
        if (!parsed) {
            std::fprintf(stderr,
                         "usage: readiness_report.exe [/minmemory:MIB] [/minnet:VERSION]\n");
            return false;
        }
    }
    return true;
}

// Frees the BSTR at scope end.
struct OwnedBstr {
    BSTR text = nullptr;
    ~OwnedBstr() { SysFreeString(text); }
};

// The result column as the script clients print it: S_OK, S_FALSE or the code.
void PrintRow(const char* answer, HRESULT result, const std::wstring& value)
{
    char code[16];
    if (result == S_OK || result == S_FALSE) {
        std::snprintf(code, sizeof(code), "%s", result == S_OK ? "S_OK" : "S_FALSE");
    } else {
        std::snprintf(code, sizeof(code), "0x%08lX", static_cast<unsigned long>(result));
    }
    std::printf("%-34s%-12s%ls\n", answer, code, SUCCEEDED(result) ? value.c_str() : L"-");
}

const wchar_t* ViewerName(LONG type)
{
    switch (type) {
    case 1:
        return L"Velmar Distributed";
    case 2:
        return L"Velmar Distributed Lite";
    default:
        return L"none";
    }
}

int Report(IOrvWorkstationInfo* info, const Policy& policy)
{
    LONG memory = 0;
    HRESULT memoryResult = info->GetPhysicalMemory(&memory);
    VARIANT_BOOL is64 = VARIANT_FALSE;
    HRESULT is64Result = info->Is64BitOS(&is64);
    VARIANT_BOOL flag = VARIANT_FALSE;
    HRESULT flagResult = info->get_DoNotUpgradeTo64(&flag);
    OwnedBstr net;
    HRESULT netResult = info->get_NetVersion(&net.text);
    LONG type = 0;
    HRESULT typeResult = info->get_ViewerType(&type);
    OwnedBstr version;
    HRESULT versionResult = info->get_ViewerVersion(&version.text);
    const LONG statusType = SUCCEEDED(typeResult) && type > 0 ? type : 1;
    LONG status = -1;
    HRESULT statusResult = info->GetLastClientInstallStatus(statusType, &status);

    std::printf("%-34s%-12s%s\n", "Answer", "Result", "Value");
    std::printf("%-34s%-12s%s\n", "------", "------", "-----");
    PrintRow("GetPhysicalMemory", memoryResult, std::to_wstring(memory) + L" MiB");
    PrintRow("Is64BitOS", is64Result, is64 ? L"yes" : L"no");
    PrintRow("DoNotUpgradeTo64", flagResult, flag ? L"set" : L"clear");
    PrintRow("NetVersion", netResult, net.text != nullptr ? net.text : L"(none)");
    PrintRow("ViewerType", typeResult, std::to_wstring(type) + L" (" + ViewerName(type) + L")");
    PrintRow("ViewerVersion", versionResult, version.text != nullptr ? version.text : L"(none)");
    char statusLabel[64];
    std::snprintf(statusLabel, sizeof(statusLabel), "GetLastClientInstallStatus(%ld)",
                  static_cast<long>(statusType));
    PrintRow(statusLabel, statusResult, std::to_wstring(status));

    std::wstring problems;
    auto add = [&problems](const std::wstring& problem) {
        problems += (problems.empty() ? L"" : L"; ") + problem;
    };
    if (FAILED(typeResult) || type == 0) {
        add(L"no viewer installed");
    } else if (FAILED(versionResult) || version.text == nullptr) {
        add(L"viewer version unreadable");
    }
    if (SUCCEEDED(statusResult) && status != 0) {
        add(L"last viewer installation ended with status " + std::to_wstring(status));
    } else if (FAILED(statusResult) && SUCCEEDED(typeResult) && type > 0) {
        add(L"no viewer installation status");
    }
    const bool hasNet =
        SUCCEEDED(netResult) && net.text != nullptr && std::wstring(net.text) != L"0.0.0.0;0";
    if (!hasNet) {
        add(L"no .NET Framework found");
    }
    if (policy.hasMinMemory && FAILED(memoryResult)) {
        wchar_t code[16];
        std::swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(memoryResult));
        add(L"physical memory unknown (" + std::wstring(code) + L"), " +
            std::to_wstring(policy.minMemory) + L" MiB required");
    } else if (policy.hasMinMemory &&
               static_cast<long long>(memory) < static_cast<long long>(policy.minMemory)) {
        add(L"physical memory " + std::to_wstring(memory) + L" MiB is below the required " +
            std::to_wstring(policy.minMemory) + L" MiB");
    }
    if (policy.minNet != nullptr && hasNet && !MeetsNet(net.text, *policy.minNet)) {
        std::wstring required = policy.minNet->text;
        if (policy.minNet->release != 0) {
            required += L" (release " + std::to_wstring(policy.minNet->release) + L")";
        }
        add(L".NET Framework " + std::wstring(net.text) + L" is below the required " + required);
    }
    if (problems.empty()) {
        std::printf("\nVerdict: READY - %ls %ls installed cleanly, .NET %ls\n", ViewerName(type),
                    version.text, net.text);
        return kReady;
    }
    std::printf("\nVerdict: NOT READY - %ls\n", problems.c_str());
    return kNotReady;
}

// COM is initialised for the report's span only.
int ReportOnce(const Policy& policy)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        std::fprintf(stderr, "COM cannot be initialised\n");
        return kUnexpectedError;
    }
    int exitCode = kNoComponent;
    CLSID classId = {};
    IOrvWorkstationInfo* info = nullptr;
    HRESULT result = CLSIDFromProgID(L"Triveld.OrvWorkstationInfo", &classId);
    if (SUCCEEDED(result)) {
        result = CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IOrvWorkstationInfo,
                                  reinterpret_cast<void**>(&info));
    }
    if (SUCCEEDED(result)) {
        exitCode = Report(info, policy);
        info->Release();
    } else {
        std::fprintf(stderr,
                     "Triveld.OrvWorkstationInfo cannot be created: 0x%08lX "
                     "(is Triveld.dll registered?)\n",
                     static_cast<unsigned long>(result));
    }
    CoUninitialize();
    return exitCode;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    try {
        Policy policy;
        if (!ParseOptions(argc, argv, policy)) {
            return kUsageError;
        }
        return ReportOnce(policy);
    } catch (...) {
        std::fprintf(stderr, "Unexpected error\n");
        return kUnexpectedError;
    }
}
