// Window classes and windows. A window belongs to the thread that created it; its messages go to
// that thread's queue. Windows are not drawn: they have a rectangle, a procedure and an owner.
#pragma once

#include "ltpadmin/export.h"

#include "ltpadmin/platform/win32_types.h"

// Registers a class by name (names compare without regard to case). 0 when the name is taken.
LTPADMIN_API ATOM RegisterClassA(const WNDCLASSA* lpWndClass);
LTPADMIN_API BOOL UnregisterClassA(LPCSTR lpClassName, HINSTANCE hInstance);

// Creates a window of a registered class at X, Y (screen coordinates for a top-level window,
// relative to the parent's origin for a child) and sends it WM_CREATE; a procedure answering -1
// refuses the creation (NULL). A parent of NULL makes a top-level window, HWND_MESSAGE a
// message-only window, which broadcasts do not reach.
LTPADMIN_API HWND CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName,
                                  DWORD dwStyle, int X, int Y, int nWidth, int nHeight,
                                  HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                                  LPVOID lpParam);
// Sends WM_DESTROY to the window and its children and removes them. Only the owning thread may.
LTPADMIN_API BOOL DestroyWindow(HWND hWnd);
LTPADMIN_API BOOL IsWindow(HWND hWnd);
// The default handling: WM_CLOSE destroys the window, everything else gives 0.
LTPADMIN_API LRESULT DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
// The window's rectangle in screen coordinates.
LTPADMIN_API BOOL GetWindowRect(HWND hWnd, LPRECT lpRect);

// SM_CYCAPTION: the height of a caption bar; SM_CXSCREEN, SM_CYSCREEN: the screen. 0 otherwise.
LTPADMIN_API int GetSystemMetrics(int nIndex);
// Left and top edges are inside the rectangle, right and bottom edges outside.
LTPADMIN_API BOOL PtInRect(const RECT* lprc, POINT pt);
