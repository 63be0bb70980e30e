#ifndef TRIVELD_REGISTRATION_REGISTRATION_SCRIPT_H
#define TRIVELD_REGISTRATION_REGISTRATION_SCRIPT_H

#include <windows.h>

#include <cstddef>

class ServerModule;

// A placeholder defined for one script run; a list of them ends with a pair
// whose name is null.
struct ReplacementPair {
    const wchar_t* name;
    const wchar_t* text;
};

// Room for a MAX_PATH path with every character a doubled single quote.
constexpr std::size_t kDoubledPathCapacity = 2 * MAX_PATH;

// Copies `path` into `doubled`, writing every single quote twice, so that the
// text survives inside a quoted script value. The path must be shorter than
// MAX_PATH characters.
void DoubleSingleQuotes(const wchar_t* path, wchar_t (&doubled)[kDoubledPathCapacity]);

// Runs script resource `resourceId` of the component DLL with the module's
// standard replacements, "Module", "Module_Raw" and `extras` (may be null).
HRESULT ApplyRegistrationScript(ServerModule* module, UINT resourceId, bool registering,
                                const ReplacementPair* extras);

// The AppID script, which also receives "APPID" as an extra pair.
HRESULT ApplyAppIdScript(bool registering);

#endif
