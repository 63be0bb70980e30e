#ifndef TRIVELD_TESTS_GUARDED_TEXT_H
#define TRIVELD_TESTS_GUARDED_TEXT_H

#include <windows.h>

#include <string>

// A copy of a narrow text whose terminating NUL is the last readable byte:
// an inaccessible page follows it, so reading one byte beyond the end faults.
class GuardedText {
public:
    explicit GuardedText(const std::string& text);
    ~GuardedText();

    GuardedText(const GuardedText&) = delete;
    GuardedText& operator=(const GuardedText&) = delete;

    // Null when the pages could not be had.
    const char* Get() const { return text_; }

private:
    void* block_ = nullptr;
    const char* text_ = nullptr;
};

#endif
