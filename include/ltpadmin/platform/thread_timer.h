// Timers of a thread. A due timer shows as WM_TIMER only when the queue holds nothing else for the
// caller's filter; taking it off the queue starts the next period.
#pragma once

#include "ltpadmin/export.h"

#include "ltpadmin/platform/win32_types.h"

// With hWnd NULL: a thread timer. The platform chooses its id (and returns it) unless nIDEvent is
// the id of an existing thread timer of this thread, which is then replaced. With a window (of the
// calling thread): the window's timer nIDEvent, returned as is. WM_TIMER carries the id in wParam
// and lpTimerFunc in lParam; DispatchMessageA calls lpTimerFunc, or the window procedure when
// there is none. Periods below USER_TIMER_MINIMUM are raised to it. 0 on failure.
LTPADMIN_API UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc);
// FALSE when there is no such timer on this thread.
LTPADMIN_API BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent);
