#include "registration/class_registration.h"

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

HRESULT UpdateOrvWorkstationInfoRegistry(bool)
{
    // Placeholder until the registration driver runs the class script here.
    return E_NOTIMPL;
}
