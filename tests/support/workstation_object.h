#ifndef TRIVELD_TESTS_WORKSTATION_OBJECT_H
#define TRIVELD_TESTS_WORKSTATION_OBJECT_H

#include "service/workstation_info.h"

// A live object as the class factory hands it out: count 1, snapshot taken.
// The caller releases it.
CWorkstationInfo* NewWorkstationInfo();

#endif
