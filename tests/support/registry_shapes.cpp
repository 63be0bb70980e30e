#include "tests/support/registry_shapes.h"

#include <gtest/gtest.h>

#include "tests/support/scratch_registry.h"

Stored Missing()
{
    return {"missing", false, REG_NONE, std::string()};
}

std::string Raw(const char* data, size_t size)
{
    return std::string(data, size);
}

std::string LittleEndian(unsigned long long value, size_t size)
{
    std::string bytes;
    for (size_t i = 0; i < size; ++i) {
        bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
    return bytes;
}

std::string Terminated(const std::string& text)
{
    return text + '\0';
}

std::string WideBytes(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

void Store(HKEY root, const std::string& path, const char* name, const Stored& stored)
{
    CreateKeyPath(root, path);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | KEY_WRITE, &key));
    RegDeleteValueA(key, name);
    if (stored.present) {
        const std::string data = stored.bytes + "##";
        const DWORD size = static_cast<DWORD>(stored.bytes.size());
        EXPECT_EQ(ERROR_SUCCESS,
                  RegSetValueExA(key, name, 0, stored.type,
                                 reinterpret_cast<const BYTE*>(data.data()), size));
    }
    RegCloseKey(key);
}

void StoreDefault(HKEY root, const std::string& path, const Stored& stored)
{
    CreateKeyPath(root, path);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | KEY_WRITE, &key));
    RegDeleteValueW(key, nullptr);
    if (stored.present) {
        const std::string data = stored.bytes + "##";
        EXPECT_EQ(ERROR_SUCCESS,
                  RegSetValueExW(key, nullptr, 0, stored.type,
                                 reinterpret_cast<const BYTE*>(data.data()),
                                 static_cast<DWORD>(stored.bytes.size())));
    }
    RegCloseKey(key);
}

// --- shapes of a 32-bit number, and what ReadDword makes of each ---

namespace {
const std::string kLargeBytes(kMiB, '\x01');
} // namespace

std::vector<DwordShape> DwordShapes()
{
    const std::string one = LittleEndian(1, 4);
    return {
        {Missing(), ERROR_FILE_NOT_FOUND},
        {{"REG_DWORD of 4 bytes, the buffer's size", true, REG_DWORD, one}, ERROR_SUCCESS},
        {{"REG_DWORD of 0 bytes", true, REG_DWORD, ""}, ERROR_INVALID_DATA},
        {{"REG_DWORD of 1 byte", true, REG_DWORD, Raw("\x01", 1)}, ERROR_INVALID_DATA},
        {{"REG_DWORD of 3 bytes", true, REG_DWORD, LittleEndian(1, 3)}, ERROR_INVALID_DATA},
        {{"REG_DWORD of 5 bytes, one past", true, REG_DWORD, LittleEndian(1, 5)},
         ERROR_MORE_DATA},
        {{"REG_SZ of 2 bytes", true, REG_SZ, Terminated("1")}, ERROR_INVALID_DATA},
        {{"REG_SZ of 4 bytes, unterminated", true, REG_SZ, "1234"}, ERROR_INVALID_DATA},
        {{"REG_SZ of 5 bytes", true, REG_SZ, Terminated("1234")}, ERROR_MORE_DATA},
        {{"REG_EXPAND_SZ", true, REG_EXPAND_SZ, Terminated("1")}, ERROR_INVALID_DATA},
        {{"REG_MULTI_SZ", true, REG_MULTI_SZ, Raw("1\0\0", 3)}, ERROR_INVALID_DATA},
        {{"REG_BINARY of 4 bytes", true, REG_BINARY, one}, ERROR_INVALID_DATA},
        {{"REG_QWORD", true, REG_QWORD, LittleEndian(1, 8)}, ERROR_MORE_DATA},
        {{"REG_DWORD_BIG_ENDIAN", true, REG_DWORD_BIG_ENDIAN, one}, ERROR_INVALID_DATA},
        {{"REG_NONE of 0 bytes", true, REG_NONE, ""}, ERROR_INVALID_DATA},
        {{"REG_DWORD of 1 MiB", true, REG_DWORD, kLargeBytes}, ERROR_MORE_DATA},
        {{"REG_BINARY of 1 MiB", true, REG_BINARY, kLargeBytes}, ERROR_MORE_DATA},
    };
}

// --- shapes of a text read into a 32-byte buffer (the "Version" buffer) ---

const std::string kVersion = "4.8.03761";

namespace {
// 31 characters and the terminator fill the buffer.
const std::string kLongestVersion = "4.8." + std::string(26, '0') + "1";
const std::string kOverlongVersion = "4.8." + std::string(27, '0') + "1";
} // namespace

std::vector<TextShape> TextShapes()
{
    const std::string large(kMiB - 1, '7');
    return {
        {Missing(), ERROR_FILE_NOT_FOUND, 0, nullptr, ERROR_FILE_NOT_FOUND, nullptr},
        {{"REG_SZ", true, REG_SZ, Terminated(kVersion)}, ERROR_SUCCESS, 10, "4.8.03761",
         ERROR_SUCCESS, L"4.8.3761.0"},
        {{"REG_EXPAND_SZ", true, REG_EXPAND_SZ, Terminated(kVersion)}, ERROR_SUCCESS, 10,
         "4.8.03761", ERROR_SUCCESS, L"4.8.3761.0"},
        {{"REG_SZ of 0 bytes", true, REG_SZ, ""}, ERROR_SUCCESS, 0, "", ERROR_SUCCESS, L""},
        {{"REG_SZ of 1 byte, a terminator", true, REG_SZ, Raw("\0", 1)}, ERROR_SUCCESS, 1, "",
         ERROR_SUCCESS, L""},
        {{"REG_SZ of 1 byte, unterminated", true, REG_SZ, "4"}, ERROR_INVALID_DATA, 0, nullptr,
         ERROR_INVALID_DATA, nullptr},
        {{"REG_SZ of 32 bytes, the buffer's size", true, REG_SZ, Terminated(kLongestVersion)},
         ERROR_SUCCESS, 32, kLongestVersion.c_str(), ERROR_SUCCESS, L"4.8.1.0"},
        {{"REG_SZ of 32 bytes, unterminated", true, REG_SZ, kOverlongVersion},
         ERROR_INVALID_DATA, 0, nullptr, ERROR_INVALID_DATA, nullptr},
        {{"REG_SZ of 33 bytes, one past", true, REG_SZ, Terminated(kOverlongVersion)},
         ERROR_MORE_DATA, 0, nullptr, ERROR_SUCCESS, nullptr},
        {{"REG_SZ, unterminated", true, REG_SZ, "4.8"}, ERROR_INVALID_DATA, 0, nullptr,
         ERROR_INVALID_DATA, nullptr},
        {{"REG_BINARY", true, REG_BINARY, Terminated(kVersion)}, ERROR_INVALID_DATA, 0, nullptr,
         ERROR_INVALID_DATA, nullptr},
        {{"REG_MULTI_SZ", true, REG_MULTI_SZ, Terminated(Terminated(kVersion))},
         ERROR_INVALID_DATA, 0, nullptr, ERROR_INVALID_DATA, nullptr},
        {{"REG_DWORD", true, REG_DWORD, LittleEndian(4, 4)}, ERROR_INVALID_DATA, 0, nullptr,
         ERROR_INVALID_DATA, nullptr},
        {{"REG_QWORD", true, REG_QWORD, LittleEndian(4, 8)}, ERROR_INVALID_DATA, 0, nullptr,
         ERROR_INVALID_DATA, nullptr},
        {{"REG_SZ of 1 MiB", true, REG_SZ, Terminated(large)}, ERROR_MORE_DATA, 0, nullptr,
         ERROR_SUCCESS, nullptr},
        {{"REG_EXPAND_SZ of 1 MiB, unterminated", true, REG_EXPAND_SZ, large + '7'},
         ERROR_MORE_DATA, 0, nullptr, ERROR_INVALID_DATA, nullptr},
    };
}

bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring LongestSpelling(const std::wstring& file)
{
    const size_t padding = MAX_PATH - 1 - file.size();
    std::wstring path = file.substr(0, 3);
    for (size_t i = 0; i < padding / 2; ++i) {
        path += L".\\";
    }
    return path + file.substr(3);
}

std::vector<ServerShape> ServerShapes(const std::wstring& file, const std::wstring& longest)
{
    const std::wstring large(kMiB / sizeof(wchar_t) - 1, L'x');
    const std::wstring nul(1, L'\0');
    return {
        {Missing(), file, false},
        {{"REG_SZ", true, REG_SZ, WideBytes(file + nul)}, file, true},
        // The type is not examined and nothing is expanded.
        {{"REG_EXPAND_SZ", true, REG_EXPAND_SZ, WideBytes(file + nul)}, file, true},
        {{"REG_MULTI_SZ", true, REG_MULTI_SZ, WideBytes(file + nul + nul)}, file, true},
        {{"REG_BINARY", true, REG_BINARY, WideBytes(file + nul)}, file, true},
        {{"REG_SZ, unterminated", true, REG_SZ, WideBytes(file)}, file, true},
        {{"REG_DWORD", true, REG_DWORD, WideBytes(L"11")}, file, false},
        {{"REG_QWORD", true, REG_QWORD, WideBytes(L"1111")}, file, false},
        {{"REG_SZ of 0 bytes", true, REG_SZ, ""}, file, false},
        {{"REG_SZ of 1 byte", true, REG_SZ, "1"}, file, false},
        {{"REG_SZ of 520 bytes, the buffer's size", true, REG_SZ, WideBytes(longest + nul)},
         longest, true},
        // A reader that cut the text at the buffer's end would find the file.
        {{"REG_SZ of 520 bytes, unterminated", true, REG_SZ, WideBytes(longest + L"x")}, longest,
         false},
        {{"REG_SZ of 522 bytes, one past", true, REG_SZ, WideBytes(longest + L"x" + nul)},
         longest, false},
        {{"REG_SZ of 1 MiB", true, REG_SZ, WideBytes(file + large + nul)}, file, false},
        {{"REG_EXPAND_SZ of 1 MiB, unterminated", true, REG_EXPAND_SZ, WideBytes(file + large)},
         file, false},
    };
}
