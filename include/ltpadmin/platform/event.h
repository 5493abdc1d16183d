// Event objects: manual-reset events stay signalled until reset; auto-reset events release one
// waiter and reset themselves. Handles may be used from any thread.
#pragma once

#include "ltpadmin/export.h"

#include "ltpadmin/platform/win32_types.h"

// Names are not shared between calls: every call creates a new event. NULL only when out of
// handles.
LTPADMIN_API HANDLE CreateEventA(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset,
                                 BOOL bInitialState, LPCSTR lpName);
LTPADMIN_API BOOL SetEvent(HANDLE hEvent);
LTPADMIN_API BOOL ResetEvent(HANDLE hEvent);
// WAIT_OBJECT_0 when signalled within the time (0 tests without waiting, INFINITE waits for ever),
// WAIT_TIMEOUT when not, WAIT_FAILED for a handle that is not open.
LTPADMIN_API DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
// FALSE for a handle that is not open (closing twice is harmless).
LTPADMIN_API BOOL CloseHandle(HANDLE hObject);
