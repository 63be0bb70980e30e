#include "tests/support/source_file.h"

#include <windows.h>

std::string ReadSourceFile(const wchar_t* relative)
{
    const std::wstring path = std::wstring(TRIVELD_SOURCE_DIR) + L"\\" + relative;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::string();
    }
    std::string text(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    if (!text.empty() && !ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &read, nullptr)) {
        read = 0;
    }
    CloseHandle(file);
    text.resize(read);
    return text;
}
