#ifndef TRIVELD_FRAME_WORKSTATION_CREATOR_H
#define TRIVELD_FRAME_WORKSTATION_CREATOR_H

#include <windows.h>

// Makes one CWorkstationInfo and answers `iid` of it. The class cannot be
// aggregated.
HRESULT CreateWorkstationInfo(IUnknown* outer, REFIID iid, void** object);

#endif
