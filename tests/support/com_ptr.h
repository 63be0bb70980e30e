#ifndef TRIVELD_TESTS_COM_PTR_H
#define TRIVELD_TESTS_COM_PTR_H

#include <windows.h>

#include <oleauto.h>

#include <string>

// Releases one COM reference at scope end.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    explicit ComPtr(T* pointer) : pointer_(pointer) {}
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* Get() const { return pointer_; }
    T* operator->() const { return pointer_; }
    T** Out()
    {
        Reset();
        return &pointer_;
    }
    void Reset()
    {
        if (pointer_ != nullptr) {
            pointer_->Release();
            pointer_ = nullptr;
        }
    }

private:
    T* pointer_ = nullptr;
};

// Frees a BSTR at scope end.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const wchar_t* text) : text_(SysAllocString(text)) {}
    ~Bstr() { SysFreeString(text_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR Get() const { return text_; }
    BSTR* Out()
    {
        SysFreeString(text_);
        text_ = nullptr;
        return &text_;
    }
    std::wstring Text() const { return text_ != nullptr ? std::wstring(text_) : L"<null>"; }

private:
    BSTR text_ = nullptr;
};

#endif
