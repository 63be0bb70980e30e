// Readiness report through the virtual table of IOrvWorkstationInfo: the
// compiled-client counterpart of readiness_report.js.
// Exit code: 0 when the report was made, 1 when the component is missing.
#include <windows.h>

#include <oleauto.h>

#include <cstdio>
#include <string>

#include "triveld.h"

namespace {

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

int Report(IOrvWorkstationInfo* info)
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
    if (FAILED(netResult) || net.text == nullptr || std::wstring(net.text) == L"0.0.0.0;0") {
        add(L"no .NET Framework found");
    }
    if (problems.empty()) {
        std::printf("\nVerdict: READY - %ls %ls installed cleanly, .NET %ls\n", ViewerName(type),
                    version.text, net.text);
    } else {
        std::printf("\nVerdict: NOT READY - %ls\n", problems.c_str());
    }
    return 0;
}

} // namespace

int main()
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        std::printf("COM cannot be initialised\n");
        return 1;
    }
    int exitCode = 1;
    CLSID classId = {};
    IOrvWorkstationInfo* info = nullptr;
    HRESULT result = CLSIDFromProgID(L"Triveld.OrvWorkstationInfo", &classId);
    if (SUCCEEDED(result)) {
        result = CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IOrvWorkstationInfo,
                                  reinterpret_cast<void**>(&info));
    }
    if (SUCCEEDED(result)) {
        exitCode = Report(info);
        info->Release();
    } else {
        std::printf("Triveld.OrvWorkstationInfo cannot be created: 0x%08lX "
                    "(is Triveld.dll registered?)\n",
                    static_cast<unsigned long>(result));
    }
    CoUninitialize();
    return exitCode;
}
