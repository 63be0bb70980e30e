#ifndef TRIVELD_FRAME_OBJECT_MAP_H
#define TRIVELD_FRAME_OBJECT_MAP_H

#include <windows.h>

#include <cstddef>

struct CategoryMapEntry;

// Makes one instance of a class and answers the requested interface.
using InstanceCreator = HRESULT (*)(IUnknown* outer, REFIID iid, void** object);

// Makes the class object that hands out instances through `createInstance`.
using ClassObjectCreator = HRESULT (*)(InstanceCreator createInstance, REFIID iid, void** object);

// One creatable class. The fields keep this order; rows are fixed at build
// time except for the cached class object.
struct ObjectMapEntry {
    const CLSID* classId;
    HRESULT (*updateRegistry)(bool registering);
    ClassObjectCreator createClassObject;
    InstanceCreator createInstance;
    // Owns one reference from the first successful request until termination.
    IUnknown* volatile cachedClassObject;
    DWORD registerCookie;
    const wchar_t* (*getDescription)();
    const CategoryMapEntry* (*getCategories)();
    void (*moduleStartStop)(bool starting);
};

// The table of creatable classes and the lock that serialises the first
// creation of each class object.
class ObjectMap {
public:
    // `rows` may hold null slots; every walk skips them.
    ObjectMap(ObjectMapEntry* const* rows, std::size_t rowCount);
    ~ObjectMap();

    ObjectMap(const ObjectMap&) = delete;
    ObjectMap& operator=(const ObjectMap&) = delete;

    // The class object lookup behind DllGetClassObject.
    HRESULT GetClassObject(REFCLSID classId, REFIID iid, void** object);

    // Calls every row's moduleStartStop in table order.
    void StartStopAll(bool starting);

    // Releases the cached class objects and deletes the lock; at most once.
    void Term();

    HINSTANCE TypeLibraryModule() const { return typeLibraryModule_; }
    std::size_t RowCount() const { return rowCount_; }
    // Null for an empty slot.
    ObjectMapEntry* Row(std::size_t index) const { return rows_[index]; }

private:
    ObjectMapEntry* FindRow(REFCLSID classId) const;
    HRESULT CreateClassObject(ObjectMapEntry* row);

    volatile DWORD initialised_ = 0;
    HINSTANCE typeLibraryModule_ = nullptr;
    ObjectMapEntry* const* rows_;
    std::size_t rowCount_;
    bool lockReady_ = false;
    CRITICAL_SECTION lock_;
};

// The DLL's one object map.
ObjectMap* GetObjectMap();

#endif
