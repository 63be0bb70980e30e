#ifndef TRIVELD_PRODUCT_VERSION_H
#define TRIVELD_PRODUCT_VERSION_H

// The product's version and names, for the version resources of the DLL and
// of readiness_report.exe (what installers and publisher rules read).
#define TRIVELD_VERSION_NUMBERS 2, 0, 0, 0
#define TRIVELD_VERSION_TEXT "2.0.0.0"
#define TRIVELD_COMPANY "Orvane"
#define TRIVELD_PRODUCT "Triveld"

#endif
