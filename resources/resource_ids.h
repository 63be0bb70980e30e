#ifndef TRIVELD_RESOURCE_IDS_H
#define TRIVELD_RESOURCE_IDS_H

// Registration scripts carried as REGISTRY resources.
#define IDR_APPID_SCRIPT 101
#define IDR_ORV_WORKSTATION_INFO_SCRIPT 102

// String table.
#define IDS_PROJNAME 100

#endif
