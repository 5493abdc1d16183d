// Outcome codes of a request, as GetLastError gives them (as LONG; read as DWORD, -7 is
// 0xFFFFFFF9), and how long the administration interface waits for a response.
#pragma once

#define LTP_ERROR_NONE 0
#define LTP_ERROR_RECEIVE (-2)
#define LTP_ERROR_SEND (-3)
#define LTP_ERROR_CONNECT (-4)
#define LTP_ERROR_NOTIFY (-6)
#define LTP_ERROR_TIMEOUT (-7)

// Milliseconds each operation of CLTPCreater waits for a whole response.
#define LTP_RESPONSE_TIMEOUT 10000
