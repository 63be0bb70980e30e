#include "registration/registration_script.h"

#include "frame/module_instance.h"
#include "frame/server_module.h"
#include "frame/text_conversion.h"
#include "registration/module_path.h"
#include "registration/registrar.h"
#include "registration/script_resource.h"
#include "resources/resource_ids.h"

void DoubleSingleQuotes(const wchar_t* path, wchar_t (&doubled)[kDoubledPathCapacity])
{
    std::size_t out = 0;
    for (const wchar_t* in = path; *in != L'\0' && out + 2 < kDoubledPathCapacity; ++in) {
        doubled[out++] = *in;
        if (*in == L'\'') {
            doubled[out++] = L'\'';
        }
    }
    doubled[out] = L'\0';
}

namespace {

// A host executable's own path may hold blanks and is quoted; the DLL's is
// stored as it is.
bool NeedsQuotedModule(HINSTANCE instance)
{
    return instance == nullptr || instance == GetModuleHandleA(nullptr);
}

HRESULT DefineModuleReplacements(Registrar& registrar, const wchar_t* doubledPath,
                                 HINSTANCE instance)
{
    wchar_t quoted[kDoubledPathCapacity + 2];
    const wchar_t* moduleText = doubledPath;
    if (NeedsQuotedModule(instance)) {
        quoted[0] = L'"';
        lstrcpynW(quoted + 1, doubledPath, kDoubledPathCapacity);
        lstrcatW(quoted, L"\"");
        moduleText = quoted;
    }
    HRESULT result = registrar.DefineReplacement(L"Module", moduleText);
    if (FAILED(result)) {
        return result;
    }
    return registrar.DefineReplacement(L"Module_Raw", doubledPath);
}

} // namespace

HRESULT ApplyRegistrationScript(ServerModule* module, UINT resourceId, bool registering,
                                const ReplacementPair* extras)
{
    Registrar registrar;
    for (const ReplacementPair* pair = extras; pair != nullptr && pair->name != nullptr; ++pair) {
        registrar.DefineReplacement(pair->name, pair->text);
    }
    HRESULT result = module->AddStandardReplacements(&registrar);
    if (FAILED(result)) {
        return result;
    }
    const HINSTANCE instance = GetModuleInstance()->Handle();
    char narrowPath[MAX_PATH];
    result = ModuleFileName(instance, narrowPath);
    if (FAILED(result)) {
        return result;
    }
    wchar_t path[MAX_PATH];
    if (WideFromNarrow(path, narrowPath, MAX_PATH, ConversionCodePage()) == nullptr) {
        return E_OUTOFMEMORY;
    }
    wchar_t doubledPath[kDoubledPathCapacity];
    DoubleSingleQuotes(path, doubledPath);
    result = DefineModuleReplacements(registrar, doubledPath, instance);
    if (FAILED(result)) {
        return result;
    }
    return RunScriptResource(registrar, path, resourceId, L"REGISTRY", registering);
}

HRESULT ApplyAppIdScript(bool registering)
{
    const ReplacementPair appId[] = {{L"APPID", kAppIdText}, {nullptr, nullptr}};
    return ApplyRegistrationScript(GetServerModule(), IDR_APPID_SCRIPT, registering, appId);
}
