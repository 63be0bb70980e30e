#include "registration/all_classes.h"

#include "frame/object_map.h"
#include "registration/class_categories.h"
#include "registration/other_view_class.h"

namespace {

const CategoryMapEntry* CategoriesOf(const ObjectMapEntry& row)
{
    return row.getCategories != nullptr ? row.getCategories() : nullptr;
}

HRESULT UpdateScript(const ObjectMapEntry& row, bool registering)
{
    return row.updateRegistry != nullptr ? row.updateRegistry(registering) : S_OK;
}

} // namespace

HRESULT RegisterAllClasses(const ObjectMap& objectMap)
{
    for (std::size_t index = 0; index < objectMap.RowCount(); ++index) {
        const ObjectMapEntry* row = objectMap.Row(index);
        if (row == nullptr) {
            continue;
        }
        HRESULT result = UpdateScript(*row, true);
        if (FAILED(result)) {
            return result;
        }
        result = UpdateClassCategories(*row->classId, CategoriesOf(*row), true);
        if (FAILED(result)) {
            return result;
        }
    }
    return S_OK;
}

namespace {

// Each row's categories first, then `removeKeys` for the row.
HRESULT UnregisterEachRow(const ObjectMap& objectMap,
                          HRESULT (*removeKeys)(const ObjectMapEntry& row))
{
    for (std::size_t index = 0; index < objectMap.RowCount(); ++index) {
        const ObjectMapEntry* row = objectMap.Row(index);
        if (row == nullptr) {
            continue;
        }
        HRESULT result = UpdateClassCategories(*row->classId, CategoriesOf(*row), false);
        if (FAILED(result)) {
            return result;
        }
        result = removeKeys(*row);
        if (FAILED(result)) {
            return result;
        }
    }
    return S_OK;
}

} // namespace

HRESULT UnregisterAllClasses(const ObjectMap& objectMap)
{
    return UnregisterEachRow(objectMap, [](const ObjectMapEntry& row) {
        return UpdateScript(row, false);
    });
}

bool OtherViewRegistersAnyClass(const ObjectMap& objectMap)
{
    for (std::size_t index = 0; index < objectMap.RowCount(); ++index) {
        const ObjectMapEntry* row = objectMap.Row(index);
        if (row != nullptr &&
            OtherViewRegistersClass(*row->classId, objectMap.TypeLibraryModule())) {
            return true;
        }
    }
    return false;
}

HRESULT UnregisterClassKeys(const ObjectMap& objectMap)
{
    return UnregisterEachRow(objectMap, [](const ObjectMapEntry& row) {
        return RemoveClassKey(*row.classId);
    });
}
