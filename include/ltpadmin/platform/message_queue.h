// The per-thread message queue: posting, peeking, waiting and dispatching. A thread's queue comes
// into being with its first call of any function here; posted messages, due timers and the
// notifications of the thread's sockets all reach the thread through it.
#pragma once

#include "ltpadmin/export.h"

#include "ltpadmin/platform/win32_types.h"

// The calling thread's identifier; never reused within the process.
LTPADMIN_API DWORD GetCurrentThreadId();

// Posts to the queue of the thread that owns the window. HWND_BROADCAST posts one copy to every
// top-level window of every thread; NULL posts a thread message to the calling thread. FALSE when
// the window does not exist.
LTPADMIN_API BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
// Posts a message without a window to a thread; FALSE when that thread has no queue.
LTPADMIN_API BOOL PostThreadMessageA(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam);
LTPADMIN_API void PostQuitMessage(int nExitCode);

// Looks for a message of the calling thread: posted messages first, in posting order, then the
// socket notifications that are ready, then a due timer. hWnd NULL takes any message, (HWND)-1
// only thread messages, any other value that window's; a range of 0..0 takes every message.
// With PM_REMOVE the message is taken off the queue.
LTPADMIN_API BOOL PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                               UINT wRemoveMsg);
// Waits for and removes a message; returns 0 for WM_QUIT, nonzero otherwise.
LTPADMIN_API BOOL GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);
// Sleeps until something new arrives that the last look at the queue did not see: a posted
// message, a socket notification or a timer falling due. Returns at once when there is such a
// thing already.
LTPADMIN_API BOOL WaitMessage();
// Keyboard translation is not done here: always FALSE.
LTPADMIN_API BOOL TranslateMessage(const MSG* lpMsg);
// Hands the message to its window's procedure, or a WM_TIMER to its timer procedure. Thread
// messages and messages for windows that no longer exist are not dispatched (result 0).
LTPADMIN_API LRESULT DispatchMessageA(const MSG* lpMsg);

// The screen cursor position, recorded in every posted message at posting time.
LTPADMIN_API BOOL SetCursorPos(int X, int Y);
LTPADMIN_API BOOL GetCursorPos(LPPOINT lpPoint);
