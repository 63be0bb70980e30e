#include "tests/support/workstation_object.h"

#include <gtest/gtest.h>

CWorkstationInfo* NewWorkstationInfo()
{
    CWorkstationInfo* object = new CWorkstationInfo();
    object->AddRef();
    EXPECT_EQ(S_OK, object->FinalConstruct());
    return object;
}
