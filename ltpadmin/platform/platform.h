// The Win32 and class-library pieces the library is written against, for Linux.
#pragma once

#include "ltpadmin/platform/win32_types.h"
#include "ltpadmin/platform/cstring.h"
#include "ltpadmin/platform/clist.h"
#include "ltpadmin/platform/codepage.h"
#include "ltpadmin/platform/tick_count.h"
#include "ltpadmin/platform/event.h"
#include "ltpadmin/platform/message_queue.h"
#include "ltpadmin/platform/window.h"
#include "ltpadmin/platform/thread_timer.h"
#include "ltpadmin/platform/async_socket.h"
