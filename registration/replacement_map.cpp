#include "registration/replacement_map.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "service/platform_calls.h"

namespace {

template <typename Char>
Char* CopyText(const Char* text, size_t length)
{
    const size_t size = (length + 1) * sizeof(Char);
    Char* copy = static_cast<Char*>(ActivePlatformCalls().allocate(size));
    if (copy != nullptr) {
        std::memcpy(copy, text, size);
    }
    return copy;
}

// Grows one array to `count` slots; the old block stays valid on failure.
template <typename T>
bool Resize(T**& array, int count)
{
    T** grown = static_cast<T**>(ActivePlatformCalls().reallocate(array, count * sizeof(T*)));
    if (grown == nullptr) {
        return false;
    }
    array = grown;
    return true;
}

} // namespace

ReplacementMap::~ReplacementMap()
{
    RemoveAll();
}

HRESULT ReplacementMap::Add(const char* name, const wchar_t* text)
{
    char* nameCopy = CopyText(name, std::strlen(name));
    wchar_t* textCopy = CopyText(text, std::wcslen(text));
    if (nameCopy == nullptr || textCopy == nullptr || !Resize(names_, count_ + 1) ||
        !Resize(texts_, count_ + 1)) {
        std::free(nameCopy);
        std::free(textCopy);
        return E_OUTOFMEMORY;
    }
    names_[count_] = nameCopy;
    texts_[count_] = textCopy;
    ++count_;
    return S_OK;
}

const wchar_t* ReplacementMap::FindReplacement(const char* name) const
{
    for (int index = 0; index < count_; ++index) {
        if (lstrcmpiA(names_[index], name) == 0) {
            return texts_[index];
        }
    }
    return nullptr;
}

void ReplacementMap::RemoveAll()
{
    for (int index = 0; index < count_; ++index) {
        std::free(names_[index]);
        std::free(texts_[index]);
    }
    std::free(names_);
    std::free(texts_);
    names_ = nullptr;
    texts_ = nullptr;
    count_ = 0;
}
