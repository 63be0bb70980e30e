#ifndef TRIVELD_FRAME_DESTRUCTION_COUNT_H
#define TRIVELD_FRAME_DESTRUCTION_COUNT_H

#include <windows.h>

// Reference count written at the start of destruction: far from zero, so
// that AddRef/Release pairs made while the destructor runs cannot bring the
// count back to zero and destroy the object twice.
constexpr LONG kDestructionCount = -1073741823;

#endif
