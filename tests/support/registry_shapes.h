#ifndef TRIVELD_TESTS_REGISTRY_SHAPES_H
#define TRIVELD_TESTS_REGISTRY_SHAPES_H

#include <windows.h>

#include <string>
#include <vector>

// Every malformed shape in which a registry value the component reads may
// have been left: missing, of another type, of zero bytes, of one byte,
// exactly filling the reader's buffer, one byte past it, unterminated and very
// large. Shared by the tests of each member over them and by the run that
// compares the two DLLs over them.

constexpr size_t kMiB = 1024 * 1024;

// One way a value may have been left in the registry.
struct Stored {
    std::string label;
    bool present;
    DWORD type;
    std::string bytes;
};

Stored Missing();
std::string Raw(const char* data, size_t size);
std::string LittleEndian(unsigned long long value, size_t size);
std::string Terminated(const std::string& text);
std::string WideBytes(const std::wstring& text);

// Writes the value as given, or removes it (fails the calling test on error).
// The data is copied with two non-zero bytes after it: the registry extends
// string data by one terminator when the character just past the given size
// is zero.
void Store(HKEY root, const std::string& path, const char* name, const Stored& stored);
// The same for a key's default value, through the wide API, which keeps the
// bytes as given.
void StoreDefault(HKEY root, const std::string& path, const Stored& stored);

// Shapes of a 32-bit number, and what ReadDword makes of each.
struct DwordShape {
    Stored stored;
    LONG read;
};
std::vector<DwordShape> DwordShapes();

// Shapes of a text read into a 32-byte buffer (the "Version" buffer).
constexpr DWORD kTextCapacity = 32;
struct TextShape {
    Stored stored;
    // ReadString into the 32-byte buffer: result, size and text.
    LONG read;
    DWORD size;
    const char* text;
    // ReadString into a buffer of exactly the value's size.
    LONG readExactly;
    // The version the text stands for; empty for four zeros.
    const wchar_t* version;
};
extern const std::string kVersion;
std::vector<TextShape> TextShapes();

// Shapes of a viewer's LocalServer32 default value.
struct ServerShape {
    Stored stored;
    // The existing file the value's text is made from, and whether the
    // value counts as naming it.
    std::wstring file;
    bool found;
};
bool FileExists(const std::wstring& path);
// `file` with "." components after its drive so that it is 259 characters
// long: with its terminator it fills the 260-character path buffer.
std::wstring LongestSpelling(const std::wstring& file);
std::vector<ServerShape> ServerShapes(const std::wstring& file, const std::wstring& longest);

#endif
