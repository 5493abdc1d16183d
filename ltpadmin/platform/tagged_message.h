// Messages that carry, beside what the application sees of them, the tag of the library object
// that posted them. The library tells its own notices apart by it; the application's messages,
// timers and socket notifications carry tag 0.
#pragma once

#include "ltpadmin/platform/win32_types.h"

namespace ltpadmin_platform {

// PostMessageA, with nSender kept beside the message.
BOOL PostTaggedMessage(UINT_PTR nSender, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
// PeekMessageA that also gives the tag of the message it returns.
BOOL PeekTaggedMessage(LPMSG lpMsg, UINT_PTR* pSender, HWND hWnd, UINT wMsgFilterMin,
                       UINT wMsgFilterMax, UINT wRemoveMsg);
// A tag no other object of the process has had: never 0, never reused.
UINT_PTR NewMessageTag();

} // namespace ltpadmin_platform
