// CConnection and CLTPConnection: the one TCP connection of a session. It sends the current request
// in pieces of at most 1024 bytes, collects the response, frames it by its head and the length it
// announces, and ends the session's wait by setting the request event after recording an
// error code. Everything runs from socket notifications on the thread that connected.
#pragma once

#include "ltpadmin/export.h"

#include "ltpadmin/platform/win32_types.h"
#include "ltpadmin/transport/message.h"

class CAdminSocket;
class CServerAdmin;

// Posted to the notification window when the server closes the connection.
#define WM_LTP_CLOSED 1379

class LTPADMIN_API CConnection {
public:
    CConnection();
    // A copy has its own event (in the source's state), the buffers' content and no socket.
    CConnection(const CConnection& other);
    // Closes this connection's own socket first; the event stays this connection's own.
    CConnection& operator=(const CConnection& other);
    virtual ~CConnection();

    // Opens a socket and starts connecting to host:port (port cut to 16 bits). Returns 0 when no
    // socket could be created; the outcome of the attempt arrives later through OnConnect.
    int Connect(const char* host, unsigned int port);
    // Shuts down, closes and deletes the socket, if any.
    void Disconnect();
    // Takes an own copy of the request and, with a socket, selects the notifications that start
    // sending it. Always 1.
    virtual int SetRequest(const CMessage& request);

    // Notification hooks, called by the socket.
    virtual void OnConnect(int nErrorCode);
    virtual void OnClose();
    virtual void OnMessage(CMessage& response);
    virtual void OnReceive(int nErrorCode);
    virtual void OnSend(int nErrorCode);
    virtual void Signal();

protected:
    friend class CServerAdmin;

    CAdminSocket* m_pSocket;
    CMessage m_response;
    CMessage m_request;
    HANDLE m_hEvent;
};

class LTPADMIN_API CLTPConnection : public CConnection {
public:
    CLTPConnection();
    CLTPConnection(const CLTPConnection& other);
    CLTPConnection& operator=(const CLTPConnection& other);

    void SetNotifyWnd(HWND hWnd) { m_hNotifyWnd = hWnd; }

    int SetRequest(const CMessage& request) override;
    // Starts sending bytes that stay the caller's, instead of an own copy: they must stay valid and
    // unchanged until the request is replaced, sent whole, or KeepOwnRequest is called.
    void LendRequest(const char* pData, ULONG nLength);
    // Makes a lent request that is still going out an own copy, so that the lender may change or
    // free its bytes. Nothing to do once the request has gone out whole.
    void KeepOwnRequest();
    void OnConnect(int nErrorCode) override;
    void OnClose() override;
    void OnMessage(CMessage& response) override;
    void OnReceive(int nErrorCode) override;
    void OnSend(int nErrorCode) override;
    void Signal() override;

    // 1 once the current request's response has arrived whole (its event set by OnMessage).
    int IsComplete() const { return m_bComplete; }
    // Ends the current request's wait with an outcome code (LTP_ERROR_*): the one place where
    // the code is set and the event signalled.
    void EndRequest(LONG nOutcome);

protected:
    friend class CServerAdmin;

    // Clears what belongs to the response of the current request.
    void ResetResponse();
    // Looks for the end of the head in the bytes that are new since the last read and, once it has
    // arrived, takes where the body starts and how long it is announced to be.
    void ReadHead(ULONG nOldLength);
    // Whether the body has arrived whole, once the head has.
    bool BodyComplete() const;
    // The request going out: the lent bytes, or else the own copy.
    const char* RequestData() const {
        return m_pLentRequest ? m_pLentRequest : m_request.GetData();
    }
    ULONG RequestLength() const { return m_pLentRequest ? m_nLentLength : m_request.GetLength(); }
    // Forgets the request, lent or own.
    void DropRequest();
    // The response has passed m_nMaxResponseBytes: unless it had already arrived whole, its bytes
    // are released and the request fails.
    void StopOverLimit();

    int m_bFirstRead;     // the head (and so the body length) has not been found yet
    LONG m_nError;        // error code of the current request
    int m_nContentLength; // announced body length of the current response; 0 when absent or not
                          // read yet
    HWND m_hNotifyWnd;    // receives WM_LTP_CLOSED
    ULONG m_nSendOffset;  // bytes of the request already sent, kept per connection
    ULONG m_nBodyOffset;  // offset of the body in m_response once the head has arrived
    int m_bComplete;      // the response arrived whole
    const char* m_pLentRequest; // the request's bytes when lent (m_request is empty then)
    ULONG m_nLentLength;
    DWORD m_nMaxResponseBytes; // a response past it fails its request
    int m_bOverLimit;          // the response passed it: what still arrives is dropped
    UINT_PTR m_nTag; // marks the WM_LTP_CLOSED it posts, so that only its own wait ends on it
};
