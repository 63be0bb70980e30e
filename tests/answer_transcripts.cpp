// Every answer of a Triveld.dll over scratch registry roots, as text: for each
// root given (an HKCU-relative key holding HKLM and HKCR), HKEY_LOCAL_MACHINE
// and HKEY_CLASSES_ROOT are redirected to it and a new object of the DLL
// answers every member, values and HRESULTs. The lines go to standard error,
// where Wine's eventlog channel writes each event-log entry, so that every
// entry stays beside the call that wrote it. "/put:N" first stores the
// DoNotUpgradeTo64 flag N through the object.
// Usage: answer_transcripts DLL [/put:0|/put:1] ROOT...
#include <windows.h>

#include <oleauto.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "tests/support/classes_view_route.h"
#include "triveld.h"

namespace {

void Line(const char* member, HRESULT result, const std::wstring& value)
{
    char text[4096];
    const int length = WideCharToMultiByte(CP_UTF8, 0, value.c_str(), -1, text, sizeof(text),
                                           nullptr, nullptr);
    std::fprintf(stderr, "%s %08lx %s\n", member, static_cast<unsigned long>(result),
                 length > 0 ? text : "?");
    std::fflush(stderr);
}

std::wstring Text(BSTR text)
{
    std::wstring copy = text != nullptr ? std::wstring(text, SysStringLen(text)) : L"<null>";
    SysFreeString(text);
    return copy;
}

void Transcript(IOrvWorkstationInfo* info)
{
    LONG number = -7;
    HRESULT result = info->GetPhysicalMemory(&number);
    Line("GetPhysicalMemory", result, std::to_wstring(number));
    VARIANT_BOOL flag = 7;
    result = info->Is64BitOS(&flag);
    Line("Is64BitOS", result, std::to_wstring(flag));
    flag = 7;
    result = info->get_DoNotUpgradeTo64(&flag);
    Line("DoNotUpgradeTo64", result, std::to_wstring(flag));
    BSTR text = nullptr;
    result = info->get_NetVersion(&text);
    Line("NetVersion", result, Text(text));
    number = -7;
    result = info->get_ViewerType(&number);
    Line("ViewerType", result, std::to_wstring(number));
    text = nullptr;
    result = info->get_ViewerVersion(&text);
    Line("ViewerVersion", result, Text(text));
    for (LONG type : {1, 2, 0}) {
        number = -7;
        result = info->GetLastClientInstallStatus(type, &number);
        Line("GetLastClientInstallStatus", result,
             std::to_wstring(type) + L" " + std::to_wstring(number));
    }
}

HKEY OpenUnder(const std::wstring& root, const wchar_t* name)
{
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, (root + L"\\" + name).c_str(), 0, KEY_ALL_ACCESS, &key);
    return key;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: answer_transcripts DLL [/put:0|/put:1] ROOT...\n");
        return 2;
    }
    const HMODULE dll = LoadLibraryW(argv[1]);
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    const auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    IClassFactory* factory = nullptr;
    if (getClassObject == nullptr ||
        FAILED(getClassObject(CLSID_OrvWorkstationInfo, IID_IClassFactory,
                              reinterpret_cast<void**>(&factory)))) {
        std::fprintf(stderr, "cannot load the class object of the DLL\n");
        return 1;
    }
    RouteViewedClassesOpens(dll);
    int first = 2;
    int put = -1;
    if (std::wcsncmp(argv[2], L"/put:", 5) == 0) {
        put = argv[2][5] == L'1';
        first = 3;
    }
    int failures = 0;
    for (int i = first; i < argc; ++i) {
        const HKEY machine = OpenUnder(argv[i], L"HKLM");
        const HKEY classes = OpenUnder(argv[i], L"HKCR");
        IOrvWorkstationInfo* info = nullptr;
        if (machine == nullptr || classes == nullptr ||
            RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine) != ERROR_SUCCESS ||
            RegOverridePredefKey(HKEY_CLASSES_ROOT, classes) != ERROR_SUCCESS ||
            FAILED(factory->CreateInstance(nullptr, IID_IOrvWorkstationInfo,
                                           reinterpret_cast<void**>(&info)))) {
            std::fprintf(stderr, "== %ls: cannot be set up\n", argv[i]);
            ++failures;
        } else {
            SetClassesStandIn(classes);
            std::fprintf(stderr, "== %ls\n", argv[i]);
            if (put >= 0) {
                Line("put_DoNotUpgradeTo64",
                     info->put_DoNotUpgradeTo64(put ? VARIANT_TRUE : VARIANT_FALSE), L"");
            }
            Transcript(info);
            info->Release();
        }
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        SetClassesStandIn(nullptr);
        RegCloseKey(machine);
        RegCloseKey(classes);
    }
    factory->Release();
    return failures != 0;
}
