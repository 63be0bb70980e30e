#ifndef TRIVELD_SERVICE_PRODUCT_SETTINGS_H
#define TRIVELD_SERVICE_PRODUCT_SETTINGS_H

// The viewer product's settings key under HKEY_LOCAL_MACHINE, where the
// "DoNotUpgradeTo64" flag is kept. A 32-bit process under WOW64 names the
// 32-bit view's vendor root explicitly.
constexpr char kWow64VendorRoot[] = "SOFTWARE\\Wow6432Node\\Orvane";
constexpr char kNativeVendorRoot[] = "SOFTWARE\\Orvane";
constexpr char kProductKeyName[] = "Velmar Distributed";
constexpr char kCurrentVersionKeyName[] = "CurrentVersion";
constexpr char kDoNotUpgradeTo64ValueName[] = "DoNotUpgradeTo64";

#endif
