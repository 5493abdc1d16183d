// Milliseconds since an arbitrary start, in 32 bits that wrap about every 49.7 days.
#pragma once

#include "ltpadmin/export.h"

#include "ltpadmin/platform/win32_types.h"

LTPADMIN_API DWORD GetTickCount();

// Test hook: moves the count so that GetTickCount returns dwNow at this moment and counts on from
// there, e.g. to start just before the wrap. Timers and waits are not affected.
LTPADMIN_API void SetTickCountForTest(DWORD dwNow);
