#ifndef TRIVELD_REGISTRATION_REGISTRY_VALUE_WRITER_H
#define TRIVELD_REGISTRATION_REGISTRY_VALUE_WRITER_H

#include <windows.h>

#include "registration/script_vocabulary.h"

// Writes one value of a script entry: the text is converted for its kind
// first, then stored under `key` (valueName null: the key's default value).
HRESULT WriteRegistryValue(HKEY key, const char* valueName, ValueKind kind, const char* text);

#endif
