#ifndef TRIVELD_FRAME_WORKSTATION_DISPATCH_H
#define TRIVELD_FRAME_WORKSTATION_DISPATCH_H

#include "frame/type_info_holder.h"

// The type information of IOrvWorkstationInfo from TriveldLib 2.0, shared by
// every CWorkstationInfo.
TypeInfoHolder& WorkstationTypeInfo();

#endif
