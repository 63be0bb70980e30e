#ifndef TRIVELD_TESTS_SOURCE_FILE_H
#define TRIVELD_TESTS_SOURCE_FILE_H

#include <string>

// The bytes of a file of the source tree (path relative to its root, with
// backslashes); empty when it cannot be read.
std::string ReadSourceFile(const wchar_t* relative);

#endif
