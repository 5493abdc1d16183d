// On Windows the library's Win32 types, messages, windows, timers, events, tick count and code
// pages are the system's own. Windows Sockets 2 comes first: <windows.h> alone would pull in the
// first version, which cannot be mixed with the second.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
