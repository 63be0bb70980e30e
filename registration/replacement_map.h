#ifndef TRIVELD_REGISTRATION_REPLACEMENT_MAP_H
#define TRIVELD_REGISTRATION_REPLACEMENT_MAP_H

#include <windows.h>

// Placeholder names and their texts, in the order defined. A name defined
// twice has two pairs; a lookup finds the first.
class ReplacementMap {
public:
    ReplacementMap() = default;
    ~ReplacementMap();

    ReplacementMap(const ReplacementMap&) = delete;
    ReplacementMap& operator=(const ReplacementMap&) = delete;

    // Takes copies; E_OUTOFMEMORY adds nothing.
    HRESULT Add(const char* name, const wchar_t* text);
    // Text of the first pair whose name matches without regard to case, or null.
    const wchar_t* FindReplacement(const char* name) const;
    void RemoveAll();
    int Count() const { return count_; }

private:
    char** names_ = nullptr;
    wchar_t** texts_ = nullptr;
    int count_ = 0;
};

#endif
