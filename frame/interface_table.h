#ifndef TRIVELD_FRAME_INTERFACE_TABLE_H
#define TRIVELD_FRAME_INTERFACE_TABLE_H

#include <windows.h>

// What the frame's COM classes share for IUnknown: QueryInterface over a
// table of their interfaces, and the reference count set as destruction begins.

// Written at the start of destruction: far from zero, so that AddRef/Release
// pairs made while the destructor runs cannot bring the count back to zero
// and destroy the object twice.
constexpr LONG kDestructionCount = -1073741823;

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
