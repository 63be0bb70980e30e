#include "registration/class_categories.h"

#include <comcat.h>

#include <cstring>

#include "registration/class_registration.h"
#include "registration/narrow_text.h"
#include "service/registry_key.h"

namespace {

// The category manager, released on every way out.
class CategoryManager {
public:
    CategoryManager()
    {
        CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                         IID_ICatRegister, reinterpret_cast<void**>(&manager_));
    }
    ~CategoryManager()
    {
        if (manager_ != nullptr) {
            manager_->Release();
        }
    }
    CategoryManager(const CategoryManager&) = delete;
    CategoryManager& operator=(const CategoryManager&) = delete;

    ICatRegister* Get() const { return manager_; }

private:
    ICatRegister* manager_ = nullptr;
};

HRESULT RegisterCategory(ICatRegister* manager, REFCLSID classId,
                         const CategoryMapEntry& entry)
{
    CATID category = *entry.category;
    if (entry.kind == kCategoryImplemented) {
        return manager->RegisterClassImplCategories(classId, 1, &category);
    }
    return manager->RegisterClassReqCategories(classId, 1, &category);
}

void UnregisterCategory(ICatRegister* manager, REFCLSID classId, const CategoryMapEntry& entry)
{
    CATID category = *entry.category;
    if (entry.kind == kCategoryImplemented) {
        manager->UnRegisterClassImplCategories(classId, 1, &category);
    } else {
        manager->UnRegisterClassReqCategories(classId, 1, &category);
    }
}

// The manager leaves an empty category key behind; a key that still has
// subkeys belongs to someone else's registration and stays.
void DeleteIfEmpty(const char* classText, const char* subkey)
{
    // "CLSID\{...}\Implemented Categories" and its sibling fit with room to spare.
    char path[128] = "CLSID\\";
    if (std::strlen(path) + std::strlen(classText) + std::strlen(subkey) >= sizeof(path)) {
        return;
    }
    std::strcat(path, classText);
    std::strcat(path, subkey);
    RegistryKey key;
    if (key.OpenKey(HKEY_CLASSES_ROOT, path, KEY_READ) != ERROR_SUCCESS) {
        return;
    }
    DWORD subkeys = 0;
    const LONG queried = RegQueryInfoKeyA(key.Handle(), nullptr, nullptr, nullptr, &subkeys,
                                          nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                          nullptr);
    key.CloseKey();
    if (queried == ERROR_SUCCESS && subkeys == 0) {
        RegDeleteKeyA(HKEY_CLASSES_ROOT, path);
    }
}

void DeleteEmptyCategoryKeys(REFCLSID classId)
{
    wchar_t wideClass[64];
    if (StringFromGUID2(classId, wideClass, 64) == 0) {
        return;
    }
    NarrowText classText;
    if (!classText.Assign(wideClass)) {
        return;
    }
    DeleteIfEmpty(classText.Get(), "\\Required Categories");
    DeleteIfEmpty(classText.Get(), "\\Implemented Categories");
}

} // namespace

HRESULT UpdateClassCategories(REFCLSID classId, const CategoryMapEntry* categories,
                              bool registering)
{
    if (categories == nullptr || IsEqualGUID(classId, GUID_NULL)) {
        return S_OK;
    }
    CategoryManager manager;
    if (manager.Get() == nullptr) {
        return S_OK;
    }
    for (const CategoryMapEntry* entry = categories; entry->kind != kCategoryEnd; ++entry) {
        if (!registering) {
            UnregisterCategory(manager.Get(), classId, *entry);
            continue;
        }
        const HRESULT result = RegisterCategory(manager.Get(), classId, *entry);
        if (FAILED(result)) {
            return result;
        }
    }
    if (!registering) {
        DeleteEmptyCategoryKeys(classId);
    }
    return S_OK;
}
