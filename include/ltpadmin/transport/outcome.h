// Outcome codes of a request, as GetLastError gives them (as LONG; read as DWORD, -7 is
// 0xFFFFFFF9), how long the administration interface waits for a response, and how much a
// response may hold.
#pragma once

#define LTP_ERROR_NONE 0
#define LTP_ERROR_RECEIVE (-2)
#define LTP_ERROR_SEND (-3)
#define LTP_ERROR_CONNECT (-4)
#define LTP_ERROR_NOTIFY (-6)
#define LTP_ERROR_TIMEOUT (-7)

// Milliseconds each operation of CLTPCreater waits for a whole response.
#define LTP_RESPONSE_TIMEOUT 10000

// Default bounds of a session (SetMaxResponseBytes, SetMaxResultBytes): the bytes of one response,
// head and body, and the memory the records of one list result may take.
#define LTP_DEFAULT_MAX_RESPONSE_BYTES (256u * 1024 * 1024)
#define LTP_DEFAULT_MAX_RESULT_BYTES (512u * 1024 * 1024)
