#ifndef TRIVELD_SERVICE_NET_FRAMEWORK_WALK_H
#define TRIVELD_SERVICE_NET_FRAMEWORK_WALK_H

#include <windows.h>

#include <oleauto.h>

// get_NetVersion's work: walks the .NET Framework setup keys for the newest
// installed version and formats it into `*pbsNetVersion` (null on entry),
// with the member's event-log entries.
HRESULT AnswerNetVersion(BSTR* pbsNetVersion);

#endif
