#include "tests/support/import_slot.h"

#include <cstring>

namespace {

template <typename T>
T* AtRva(HMODULE module, DWORD rva)
{
    return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(module) + rva);
}

void** FindInTable(HMODULE module, const IMAGE_IMPORT_DESCRIPTOR& import, const char* function)
{
    auto* names = AtRva<IMAGE_THUNK_DATA>(module, import.OriginalFirstThunk);
    auto* slots = AtRva<IMAGE_THUNK_DATA>(module, import.FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
        if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
            continue;
        }
        const auto* byName =
            AtRva<IMAGE_IMPORT_BY_NAME>(module, static_cast<DWORD>(names->u1.AddressOfData));
        if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0) {
            return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

} // namespace

void** FindImportSlot(HMODULE module, const char* dll, const char* function)
{
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    const auto* nt = AtRva<IMAGE_NT_HEADERS>(module, static_cast<DWORD>(dos->e_lfanew));
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) {
        return nullptr;
    }
    for (auto* import = AtRva<IMAGE_IMPORT_DESCRIPTOR>(module, directory.VirtualAddress);
         import->Name != 0; ++import) {
        if (lstrcmpiA(AtRva<char>(module, import->Name), dll) == 0) {
            return FindInTable(module, *import, function);
        }
    }
    return nullptr;
}

void* ReplaceImport(void** slot, void* replacement)
{
    DWORD protection = 0;
    if (slot == nullptr || !VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &protection)) {
        return nullptr;
    }
    void* previous = *slot;
    *slot = replacement;
    VirtualProtect(slot, sizeof(*slot), protection, &protection);
    return previous;
}
