#ifndef TRIVELD_FRAME_CREATOR_FUNCTIONS_H
#define TRIVELD_FRAME_CREATOR_FUNCTIONS_H

#include <windows.h>

// Makes one instance of a class and answers the requested interface.
using InstanceCreator = HRESULT (*)(IUnknown* outer, REFIID iid, void** object);

// Makes the class object that hands out instances through `createInstance`.
using ClassObjectCreator = HRESULT (*)(InstanceCreator createInstance, REFIID iid, void** object);

#endif
