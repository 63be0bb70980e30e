#ifndef TRIVELD_REGISTRATION_NARROW_TEXT_H
#define TRIVELD_REGISTRATION_NARROW_TEXT_H

#include <windows.h>

#include <cstddef>
#include <memory>

// A narrow copy of a wide text in the process's conversion code page, sized
// by asking the conversion first (a character may take several bytes).
class NarrowText {
public:
    // False when the conversion fails or memory runs out; the copy is then empty.
    bool Assign(const wchar_t* text);

    const char* Get() const { return text_ ? text_.get() : ""; }
    // Bytes, terminator excluded.
    size_t Length() const { return length_; }

private:
    std::unique_ptr<char[]> text_;
    size_t length_ = 0;
};

#endif
