#include "tests/support/registry_snapshot.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

std::string HexBytes(const std::vector<BYTE>& data)
{
    std::string text;
    char digits[4];
    for (BYTE byte : data) {
        std::snprintf(digits, sizeof(digits), "%02X", byte);
        text += digits;
    }
    return text;
}

std::string DescribeValue(DWORD type, const std::vector<BYTE>& data)
{
    if (type == REG_SZ) {
        std::string text(data.begin(), data.end());
        if (!text.empty() && text.back() == '\0') {
            text.pop_back();
            return "SZ " + text;
        }
        return "SZ(unterminated) " + text;
    }
    if (type == REG_DWORD && data.size() == 4) {
        DWORD number = 0;
        std::memcpy(&number, data.data(), 4);
        return "DWORD " + std::to_string(number);
    }
    const char* name = type == REG_BINARY ? "BINARY" : type == REG_MULTI_SZ ? "MULTI_SZ" : "TYPE";
    return std::string(name) + (name[0] == 'T' ? std::to_string(type) : "") + " " +
           HexBytes(data);
}

void Walk(HKEY key, const std::string& path, std::set<std::string>& lines)
{
    for (DWORD index = 0;; ++index) {
        std::vector<char> name(16384);
        DWORD nameSize = static_cast<DWORD>(name.size());
        DWORD type = 0;
        DWORD dataSize = 0;
        if (RegEnumValueA(key, index, name.data(), &nameSize, nullptr, &type, nullptr, &dataSize) !=
            ERROR_SUCCESS) {
            break;
        }
        std::vector<BYTE> data(dataSize);
        nameSize = static_cast<DWORD>(name.size());
        RegEnumValueA(key, index, name.data(), &nameSize, nullptr, &type, data.data(), &dataSize);
        data.resize(dataSize);
        lines.insert(path + " : " + (name[0] == '\0' ? "@" : name.data()) + " = " +
                     DescribeValue(type, data));
    }
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameSize = sizeof(name);
        if (RegEnumKeyExA(key, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        const std::string child = path.empty() ? name : path + "\\" + name;
        lines.insert(child);
        HKEY opened = nullptr;
        if (RegOpenKeyExA(key, name, 0, KEY_READ, &opened) == ERROR_SUCCESS) {
            Walk(opened, child, lines);
            RegCloseKey(opened);
        }
    }
}

} // namespace

std::set<std::string> SnapshotTree(HKEY root)
{
    std::set<std::string> lines;
    Walk(root, "", lines);
    return lines;
}

std::string DescribeDifference(const std::set<std::string>& expected,
                               const std::set<std::string>& actual)
{
    std::string text;
    for (const std::string& line : expected) {
        if (actual.count(line) == 0) {
            text += "  missing:    " + line + "\n";
        }
    }
    for (const std::string& line : actual) {
        if (expected.count(line) == 0) {
            text += "  unexpected: " + line + "\n";
        }
    }
    return text;
}
