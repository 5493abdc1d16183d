// The Win32 and class-library pieces the library is written against. On Linux all of them are
// stand-ins; on Windows the system's own come from <windows.h>, and only the class-library pieces
// (strings, lists, the asynchronous socket) and the code-page table stay ours.
#pragma once

#include "ltpadmin/platform/win32_types.h"
#include "ltpadmin/platform/cstring.h"
#include "ltpadmin/platform/clist.h"
#include "ltpadmin/platform/codepage.h"
#if !defined(_WIN32)
#include "ltpadmin/platform/tick_count.h"
#include "ltpadmin/platform/event.h"
#include "ltpadmin/platform/message_queue.h"
#include "ltpadmin/platform/window.h"
#include "ltpadmin/platform/thread_timer.h"
#endif
#include "ltpadmin/platform/async_socket.h"
