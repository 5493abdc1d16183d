// CServerAdmin: the session with an administration server. It logs in (opens the one connection),
// then carries one request at a time: AsyncRequest hands over the request's bytes,
// WaitResponseAndPumpMessage waits for the whole response while the thread's window messages are
// pumped (user input dropped), GetReadMessage gives the response and GetLastError the outcome.
#pragma once

#include <cstddef>
#include "ltpadmin/export.h"

#include "ltpadmin/platform/win32_types.h"
#include "ltpadmin/platform/cstring.h"
#include "ltpadmin/transport/message.h"
#include "ltpadmin/transport/connection.h"
#include "ltpadmin/transport/outcome.h"

#define LTP_DEFAULT_PORT 120

class LTPADMIN_API CServerAdmin {
public:
    CServerAdmin();
    // A copy takes the settings, the last outcome and the buffers' content; it gets an event of its
    // own and no connection (log in again to use it). Assignment first closes this session's own
    // connection and stops its timer.
    CServerAdmin(const CServerAdmin& other);
    CServerAdmin& operator=(const CServerAdmin& other);
    virtual ~CServerAdmin();

    // Address in network byte order (as inet_addr gives it); port 0 means "not set" (120 is used).
    void SetServerAddressPort(unsigned int nAddress, unsigned int nPort);
    void SetMainWnd(HWND hWnd);

    // Opens the connection; returns 1 once the attempt has started. A failed attempt ends the next
    // wait with -4. Nothing is sent until the first request.
    int LogIn(const char* pszAddress, const char* pszUserName, const char* pszPassword);
    int LogIn(ULONG nAddress, const char* pszUserName, const char* pszPassword);
    // Closes the connection; a running or following wait ends with -4. Always 1.
    int LogOut();

    // Starts one request (the first argument is not used). With a result buffer, the wait copies
    // up to nResultBufferSize bytes of the response into it. Always 1.
    int AsyncRequest(int nReserved, void* pRequest, ULONG nRequestLength, void* pResultBuffer,
                     ULONG& nResultBufferSize);
#if !defined(_WIN32) // where ULONG is unsigned long already
    // The same for a caller whose capacity is a native unsigned long.
    int AsyncRequest(int nReserved, void* pRequest, ULONG nRequestLength, void* pResultBuffer,
                     unsigned long& nResultBufferSize);
#endif
    // Waits up to nTimeout ms for the request to end, pumping the thread's messages. 1 when the
    // whole response arrived; 0 otherwise, with the reason in GetLastError.
    int WaitResponseAndPumpMessage(ULONG nTimeout);

    void* GetRequestHandle() const;
    DWORD GetLastError() const;
    CMessage& GetReadMessage();

    // Where WM_LTP_CLOSED goes when the server closes the connection (HWND_BROADCAST by default).
    void SetNotifyWnd(HWND hWnd);

    // The most bytes one response may hold. A response that passes it fails its request with
    // LTP_ERROR_RECEIVE as soon as it does (or as soon as its Content-Length says it will), and the
    // bytes received for it are released.
    void SetMaxResponseBytes(DWORD nBytes);
    DWORD GetMaxResponseBytes() const;
    // The most bytes the records one list operation makes may take (each record with its list
    // node). Past it the operation returns 0 with LTP_ERROR_RECEIVE, the records it made are freed,
    // and those the list held before stay.
    void SetMaxResultBytes(size_t nBytes);
    size_t GetMaxResultBytes() const;

    // Timer procedure of the one-second timer; it only makes the wait wake up.
    static void CALLBACK TimeCallback(HWND hWnd, UINT nMsg, UINT_PTR nIDEvent, DWORD dwTime);

protected:
    // Applies the message filter of the wait to a message posted by nSender (a connection's tag,
    // or 0 for the application's messages). Returns 0 when the message ends the wait.
    int FilterMessage(const MSG& msg, int cyCaption, UINT_PTR nSender = 0);
    // AsyncRequest without a result buffer, for a derived session that keeps its request's bytes
    // itself: they are sent from where they are, not copied, and must stay valid and unchanged
    // until KeepOwnRequest or the next request. Spares a long request one copy.
    int AsyncRequestLent(const char* pRequest, ULONG nRequestLength);
    // Ends the loan of AsyncRequestLent: what has not gone out yet is copied. Call it when the wait
    // ends, before the bytes may change.
    void KeepOwnRequest();

private:
    // What every request starts with: the wake-up timer and the reset event.
    void StartRequest();
    // What both log-ins do once the address is known in both forms.
    int OpenConnection(ULONG nAddress, const char* pszAddress, const char* pszUserName,
                       const char* pszPassword);

protected:
    CLTPConnection m_connection;
    void* m_pResultBuffer;
    LONG m_nLastError;
    CString m_strServerAddress;
    CString m_strPassword;
    CString m_strUserName;
    ULONG m_nResultBufferSize;
    unsigned int m_nPort;
    UINT_PTR m_nTimerID;
    HWND m_hMainWnd;
    size_t m_nMaxResultBytes;
};
