#include "registration/class_registration.h"

#include "frame/server_module.h"
#include "registration/registration_script.h"
#include "resources/resource_ids.h"

namespace {

const CATID kSafeForScripting = {
    0x7DD95801, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}};
const CATID kSafeForInitializing = {
    0x7DD95802, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}};

const CategoryMapEntry kOrvWorkstationInfoCategories[] = {
    {kCategoryImplemented, &kSafeForScripting},
    {kCategoryImplemented, &kSafeForInitializing},
    {kCategoryEnd, nullptr},
};

} // namespace

const CategoryMapEntry* OrvWorkstationInfoCategories()
{
    return kOrvWorkstationInfoCategories;
}

HRESULT UpdateOrvWorkstationInfoRegistry(bool registering)
{
    return ApplyRegistrationScript(GetServerModule(), IDR_ORV_WORKSTATION_INFO_SCRIPT,
                                   registering, nullptr);
}
