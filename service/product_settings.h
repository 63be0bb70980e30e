#ifndef TRIVELD_SERVICE_PRODUCT_SETTINGS_H
#define TRIVELD_SERVICE_PRODUCT_SETTINGS_H

#include <windows.h>

// The viewer product's settings key under HKEY_LOCAL_MACHINE, where the
// "DoNotUpgradeTo64" flag is kept. A 32-bit process under WOW64 names the
// 32-bit view's vendor root explicitly; the 64-bit DLL reaches the same key as
// the native root in the 32-bit view (service/product_bitness.h).
constexpr char kWow64VendorRoot[] = "SOFTWARE\\Wow6432Node\\Orvane";
constexpr char kNativeVendorRoot[] = "SOFTWARE\\Orvane";
constexpr char kProductKeyName[] = "Velmar Distributed";
constexpr char kCurrentVersionKeyName[] = "CurrentVersion";
constexpr char kDoNotUpgradeTo64ValueName[] = "DoNotUpgradeTo64";

// The work of the two accessors of the DoNotUpgradeTo64 property, over
// PlatformFacts::GetDoNotUpgradeTo64 and SetDoNotUpgradeTo64 (defined in
// product_settings.cpp), each with one Error entry for a failure.

// VARIANT_TRUE only when the flag reads as set, whatever the result.
HRESULT AnswerDoNotUpgradeTo64(VARIANT_BOOL* pVal);
// Any non-zero value stores the flag, zero clears it.
HRESULT StoreDoNotUpgradeTo64(VARIANT_BOOL newValue);

#endif
