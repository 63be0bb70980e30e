#include "registration/script_vocabulary.h"

#include "registration/script_text.h"

const char kNoRemoveKeyword[] = "NoRemove";
const char kForceRemoveKeyword[] = "ForceRemove";
const char kDeleteKeyword[] = "Delete";
const char kValueKeyword[] = "val";

namespace {

struct RootKeyName {
    const char* name;
    HKEY key;
};

const RootKeyName kRootKeys[] = {
    {"HKCR", HKEY_CLASSES_ROOT},
    {"HKCU", HKEY_CURRENT_USER},
    {"HKLM", HKEY_LOCAL_MACHINE},
    {"HKU", HKEY_USERS},
    {"HKPD", HKEY_PERFORMANCE_DATA},
    {"HKDD", HKEY_DYN_DATA},
    {"HKCC", HKEY_CURRENT_CONFIG},
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKEY_USERS", HKEY_USERS},
    {"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
    {"HKEY_DYN_DATA", HKEY_DYN_DATA},
    {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};

struct ValueTypeName {
    const char* name;
    ValueKind kind;
};

const ValueTypeName kValueTypes[] = {
    {"S", ValueKind::String},
    {"M", ValueKind::MultiString},
    {"D", ValueKind::Number},
    {"B", ValueKind::Binary},
};

const char* const kProtectedKeyNames[] = {
    "AppID", "CLSID",    "Component Categories", "FileType", "Interface", "Hardware",
    "Mime",  "SAM",      "SECURITY",             "SYSTEM",   "Software",  "TypeLib",
};

} // namespace

HKEY LookupRootKey(const char* name)
{
    for (const RootKeyName& root : kRootKeys) {
        if (EqualsIgnoringCase(name, root.name)) {
            return root.key;
        }
    }
    return nullptr;
}

ValueKind LookupValueType(const char* token)
{
    for (const ValueTypeName& type : kValueTypes) {
        if (EqualsIgnoringCase(token, type.name)) {
            return type.kind;
        }
    }
    return ValueKind::None;
}

bool IsProtectedKeyName(const char* name)
{
    for (const char* protectedName : kProtectedKeyNames) {
        if (EqualsIgnoringCase(name, protectedName)) {
            return true;
        }
    }
    return false;
}
