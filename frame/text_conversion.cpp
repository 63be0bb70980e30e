#include "frame/text_conversion.h"

namespace {

UINT ThreadCodePage()
{
    return CP_THREAD_ACP;
}

UINT ThreadLocaleCodePage()
{
    char text[7] = {};
    if (GetLocaleInfoA(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE, text, sizeof(text)) == 0 ||
        text[0] == '\0') {
        return GetACP();
    }
    UINT codePage = 0;
    for (const char* digit = text; *digit != '\0'; ++digit) {
        codePage = codePage * 10 + static_cast<UINT>(*digit - '0');
    }
    return codePage != 0 ? codePage : GetACP();
}

UINT ChooseCodePage();

using CodePageFunction = UINT (*)();
CodePageFunction volatile activeChooser = &ChooseCodePage;

// Runs once per process (twice at most under a race; both pick the same).
UINT ChooseCodePage()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    CodePageFunction chosen = &ThreadLocaleCodePage;
    if (GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
        version.dwMajorVersion > 4) {
        chosen = &ThreadCodePage;
    }
    InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&activeChooser),
                               reinterpret_cast<PVOID>(chosen));
    return chosen();
}

} // namespace

UINT ConversionCodePage()
{
    return activeChooser();
}

wchar_t* WideFromNarrow(wchar_t* destination, const char* source, int capacity, UINT codePage)
{
    if (destination == nullptr || source == nullptr || capacity <= 0) {
        return nullptr;
    }
    destination[0] = L'\0';
    if (MultiByteToWideChar(codePage, 0, source, -1, destination, capacity) == 0) {
        destination[0] = L'\0';
        return nullptr;
    }
    return destination;
}

char* NarrowFromWide(char* destination, const wchar_t* source, int capacity, UINT codePage)
{
    if (destination == nullptr || source == nullptr || capacity <= 0) {
        return nullptr;
    }
    destination[0] = '\0';
    if (WideCharToMultiByte(codePage, 0, source, -1, destination, capacity, nullptr, nullptr) ==
        0) {
        destination[0] = '\0';
        return nullptr;
    }
    return destination;
}
