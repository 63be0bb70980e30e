#include "registration/narrow_text.h"

#include <new>

#include "frame/text_conversion.h"

bool NarrowText::Assign(const wchar_t* text)
{
    text_.reset();
    length_ = 0;
    if (text == nullptr) {
        return false;
    }
    const UINT codePage = ConversionCodePage();
    const int size = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return false;
    }
    std::unique_ptr<char[]> converted(new (std::nothrow) char[size]);
    if (!converted || NarrowFromWide(converted.get(), text, size, codePage) == nullptr) {
        return false;
    }
    converted[size - 1] = '\0';
    text_ = std::move(converted);
    length_ = static_cast<size_t>(size - 1);
    return true;
}
