#ifndef TRIVELD_FRAME_INTERFACE_TABLE_H
#define TRIVELD_FRAME_INTERFACE_TABLE_H

#include <windows.h>

enum class InterfaceKind { End, Offset };

// One interface a class answers: its id and where it lies in the object.
struct InterfaceTableRow {
    const IID* iid;
    DWORD offset;
    InterfaceKind kind;
};

// QueryInterface over a table ended by a row of kind End.
HRESULT FindInterface(void* object, const InterfaceTableRow* table, REFIID iid, void** result);

#endif
