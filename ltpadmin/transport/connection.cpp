#include "ltpadmin/transport/connection.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "ltpadmin/platform/platform.h"
#include "ltpadmin/platform/tagged_message.h"
#include "ltpadmin/protocol/framing.h"
#include "ltpadmin/transport/admin_socket.h"
#include "ltpadmin/transport/outcome.h"

namespace {

const int kPieceSize = 1024;
// Most of a response body that is made room for in advance.
const ULONG kMaxReservation = 64u * 1024 * 1024;
// Notification sets: everything at creation; read, write and close while a request is under way,
// and connect too, so that an attempt still under way when the request is handed over reports its
// failure.
const long kAllEvents = FD_READ | FD_WRITE | FD_OOB | FD_ACCEPT | FD_CONNECT | FD_CLOSE;
const long kRequestEvents = FD_READ | FD_WRITE | FD_CLOSE | FD_CONNECT;

HANDLE NewEvent(BOOL bSignalled) {
    return CreateEventA(nullptr, TRUE, bSignalled, nullptr);
}

BOOL IsSignalled(HANDLE hEvent) {
    return WaitForSingleObject(hEvent, 0) == WAIT_OBJECT_0;
}

} // namespace

// ---- CConnection ----

CConnection::CConnection() : m_pSocket(nullptr), m_hEvent(NewEvent(FALSE)) {}

CConnection::CConnection(const CConnection& other)
    : m_pSocket(nullptr), m_response(other.m_response), m_request(other.m_request),
      m_hEvent(NewEvent(IsSignalled(other.m_hEvent))) {}

CConnection& CConnection::operator=(const CConnection& other) {
    if (this == &other)
        return *this;
    Disconnect();
    m_response = other.m_response;
    m_request = other.m_request;
    if (IsSignalled(other.m_hEvent))
        SetEvent(m_hEvent);
    else
        ResetEvent(m_hEvent);
    return *this;
}

CConnection::~CConnection() {
    CloseHandle(m_hEvent);
    Disconnect();
}

int CConnection::Connect(const char* host, unsigned int port) {
    ResetEvent(m_hEvent);
    if (m_pSocket != nullptr)
        Disconnect();
    m_pSocket = new CAdminSocket(this);
    if (!m_pSocket->Create(0, SOCK_STREAM, kAllEvents, nullptr)) {
        delete m_pSocket;
        m_pSocket = nullptr;
        return 0;
    }
    // The outcome arrives through OnConnect.
    m_pSocket->Connect(host != nullptr ? host : "", port & 0xFFFFu);
    return 1;
}

void CConnection::Disconnect() {
    if (m_pSocket == nullptr)
        return;
    // Through the socket, so that bytes it still holds back go out before the end.
    m_pSocket->ShutDown(CAsyncSocket::both);
    m_pSocket->Close();
    delete m_pSocket;
    m_pSocket = nullptr;
}

int CConnection::SetRequest(const CMessage& request) {
    m_request = request;
    if (m_pSocket != nullptr)
        m_pSocket->AsyncSelect(kRequestEvents);
    return 1;
}

void CConnection::OnConnect(int) {}

void CConnection::OnClose() {
    OnMessage(m_response);
}

void CConnection::OnMessage(CMessage&) {}

void CConnection::OnReceive(int nErrorCode) {
    if (nErrorCode != 0 || m_pSocket == nullptr)
        return;
    char buffer[kPieceSize];
    const int n = m_pSocket->Receive(buffer, kPieceSize, 0);
    if (n > 0)
        m_response.Append(buffer, static_cast<ULONG>(n));
}

void CConnection::OnSend(int) {}

void CConnection::Signal() {}

// ---- CLTPConnection ----

CLTPConnection::CLTPConnection()
    : m_bFirstRead(1), m_nError(0), m_nContentLength(0), m_hNotifyWnd(HWND_BROADCAST),
      m_nSendOffset(0), m_nBodyOffset(0), m_bComplete(0), m_pLentRequest(nullptr), m_nLentLength(0),
      m_nMaxResponseBytes(LTP_DEFAULT_MAX_RESPONSE_BYTES), m_bOverLimit(0),
      m_nTag(ltpadmin_platform::NewMessageTag()) {}

CLTPConnection::CLTPConnection(const CLTPConnection& other)
    : CConnection(other), m_bFirstRead(other.m_bFirstRead), m_nError(other.m_nError),
      m_nContentLength(other.m_nContentLength), m_hNotifyWnd(other.m_hNotifyWnd), m_nSendOffset(0),
      m_nBodyOffset(other.m_nBodyOffset), m_bComplete(other.m_bComplete), m_pLentRequest(nullptr),
      m_nLentLength(0), m_nMaxResponseBytes(other.m_nMaxResponseBytes),
      m_bOverLimit(other.m_bOverLimit), m_nTag(ltpadmin_platform::NewMessageTag()) {
    // A copy owns what it holds, lent bytes included.
    if (other.m_pLentRequest && !m_request.Append(other.m_pLentRequest, other.m_nLentLength))
        throw std::bad_alloc();
}

CLTPConnection& CLTPConnection::operator=(const CLTPConnection& other) {
    if (this == &other)
        return *this;
    CConnection::operator=(other);
    m_pLentRequest = nullptr;
    m_nLentLength = 0;
    if (other.m_pLentRequest && !m_request.Append(other.m_pLentRequest, other.m_nLentLength))
        throw std::bad_alloc();
    m_bFirstRead = other.m_bFirstRead;
    m_nError = other.m_nError;
    m_nContentLength = other.m_nContentLength;
    m_hNotifyWnd = other.m_hNotifyWnd;
    m_nSendOffset = 0;
    m_nBodyOffset = other.m_nBodyOffset;
    m_bComplete = other.m_bComplete;
    m_nMaxResponseBytes = other.m_nMaxResponseBytes;
    m_bOverLimit = other.m_bOverLimit;
    return *this;
}

void CLTPConnection::ResetResponse() {
    ResetEvent(m_hEvent);
    m_bFirstRead = 1;
    m_response.Empty();
    m_nContentLength = 0;
    m_nBodyOffset = 0;
    m_bComplete = 0;
    m_bOverLimit = 0;
}

int CLTPConnection::SetRequest(const CMessage& request) {
    // A new request replaces whatever was under way, including a half-sent one.
    m_nSendOffset = 0;
    m_bFirstRead = 1;
    m_nContentLength = 0;
    m_nBodyOffset = 0;
    m_bComplete = 0;
    m_bOverLimit = 0;
    m_pLentRequest = nullptr;
    m_nLentLength = 0;
    return CConnection::SetRequest(request);
}

void CLTPConnection::LendRequest(const char* pData, ULONG nLength) {
    m_request.Empty();
    SetRequest(m_request); // the state of a new request, and the notifications that send it
    if (pData != nullptr && nLength != 0) {
        m_pLentRequest = pData;
        m_nLentLength = nLength;
    }
}

void CLTPConnection::KeepOwnRequest() {
    if (m_pLentRequest == nullptr)
        return;
    const char* data = m_pLentRequest;
    const ULONG length = m_nLentLength;
    m_pLentRequest = nullptr;
    m_nLentLength = 0;
    if (!m_request.Append(data, length)) {
        // Without room for the rest, the request fails rather than going out cut short.
        DropRequest();
        EndRequest(LTP_ERROR_SEND);
    }
}

void CLTPConnection::DropRequest() {
    m_nSendOffset = 0;
    m_request.Empty();
    m_pLentRequest = nullptr;
    m_nLentLength = 0;
}

void CLTPConnection::StopOverLimit() {
    m_bOverLimit = 1;
    if (m_bComplete)
        return; // only what follows a whole response is dropped
    m_response.Empty();
    EndRequest(LTP_ERROR_RECEIVE);
}

void CLTPConnection::OnConnect(int nErrorCode) {
    if (nErrorCode != 0) {
        EndRequest(LTP_ERROR_CONNECT);
    }
}

void CLTPConnection::OnClose() {
    // A response that has not arrived whole stays incomplete, so the wait fails even when no
    // window of the waiting thread receives WM_LTP_CLOSED.
    EndRequest(LTP_ERROR_NONE);
    ltpadmin_platform::PostTaggedMessage(m_nTag, m_hNotifyWnd, WM_LTP_CLOSED, 0, 0);
}

void CLTPConnection::OnMessage(CMessage&) {
    m_bComplete = 1;
    EndRequest(LTP_ERROR_NONE);
}

void CLTPConnection::EndRequest(LONG nOutcome) {
    m_nError = nOutcome;
    Signal();
}

void CLTPConnection::Signal() {
    SetEvent(m_hEvent);
}

void CLTPConnection::OnSend(int nErrorCode) {
    // A request's first piece starts its response afresh. The later pieces leave the response
    // alone: a server may answer before it has read the whole request, and that answer must not
    // be wiped by the pieces still going out.
    if (m_nSendOffset == 0)
        ResetResponse();
    if (nErrorCode != 0) {
        EndRequest(LTP_ERROR_NOTIFY);
        return;
    }
    const ULONG length = RequestLength();
    if (length == 0 || m_pSocket == nullptr)
        return;
    const ULONG rest = length - m_nSendOffset;
    const int piece = rest < static_cast<ULONG>(kPieceSize) ? static_cast<int>(rest) : kPieceSize;
    const int n = m_pSocket->Send(RequestData() + m_nSendOffset, piece, 0);
    if (n == SOCKET_ERROR && CAsyncSocket::GetLastError() == WSAEWOULDBLOCK)
        return; // nothing taken now; the socket notifies again once it can take data
    if (n == SOCKET_ERROR || n < 0) {
        DropRequest();
        EndRequest(LTP_ERROR_SEND);
        return;
    }
    m_nSendOffset += static_cast<ULONG>(n);
    if (m_nSendOffset < length) {
        // Close stays selected, so that a server that goes away mid-request is still noticed.
        m_pSocket->AsyncSelect(kRequestEvents);
    } else {
        DropRequest();
    }
}

void CLTPConnection::ReadHead(ULONG nOldLength) {
    ltp::detail::Frame previous;
    previous.scanned = nOldLength;
    const ltp::detail::Frame frame =
        ltp::detail::ReadFrame(m_response.GetData(), m_response.GetLength(), previous);
    if (!frame.headComplete)
        return;
    m_bFirstRead = 0;
    m_nBodyOffset = static_cast<ULONG>(frame.bodyOffset);
    m_nContentLength = frame.contentLength;
    // Room for the rest of the body at once (and for the last read), so that a long response is
    // not copied again at every doubling of its buffer. Only up to a bound: the length is the
    // server's word, and the buffer still grows as bytes arrive beyond it.
    const ULONG body = m_response.GetLength() - m_nBodyOffset;
    if (m_nContentLength > 0 && static_cast<ULONG>(m_nContentLength) > body &&
        m_nBodyOffset + static_cast<std::uint64_t>(m_nContentLength) <= m_nMaxResponseBytes) {
        const ULONG missing = static_cast<ULONG>(m_nContentLength) - body;
        if (missing <= kMaxReservation)
            m_response.Reserve(missing + kPieceSize); // without room, growth does it piecemeal
    }
}

bool CLTPConnection::BodyComplete() const {
    ltp::detail::Frame frame;
    frame.headComplete = true;
    frame.bodyOffset = m_nBodyOffset;
    frame.contentLength = m_nContentLength;
    return ltp::detail::ReadFrame(m_response.GetData(), m_response.GetLength(), frame).complete;
}

void CLTPConnection::OnReceive(int nErrorCode) {
    if (nErrorCode != 0) {
        EndRequest(LTP_ERROR_NOTIFY);
        return;
    }
    if (m_pSocket == nullptr)
        return;
    if (m_bOverLimit) {
        char sink[kPieceSize]; // read, so that the socket does not keep notifying, and dropped
        if (m_pSocket->Receive(sink, kPieceSize, 0) < 0)
            EndRequest(LTP_ERROR_RECEIVE);
        return;
    }
    // Read straight into the response buffer: one copy less per byte of a long response.
    const ULONG oldLength = m_response.GetLength();
    const bool bWasEmpty = m_response.GetData() == nullptr;
    char* room = m_response.Reserve(kPieceSize);
    if (room == nullptr) {
        // Out of memory: nothing of the response may be silently lost, so the request fails.
        EndRequest(LTP_ERROR_RECEIVE);
        return;
    }
    const int n = m_pSocket->Receive(room, kPieceSize, 0);
    if (n == SOCKET_ERROR || n < 0) {
        if (bWasEmpty)
            m_response.Empty(); // as if nothing had been tried
        EndRequest(LTP_ERROR_RECEIVE);
        return;
    }
    if (m_bComplete && oldLength + static_cast<std::uint64_t>(n) > m_nMaxResponseBytes) {
        StopOverLimit(); // the whole response stays; what follows it is dropped
        return;
    }
    m_response.Extend(static_cast<ULONG>(n));
    if (m_bComplete)
        return; // bytes after a complete response are kept but change nothing
    if (m_bFirstRead)
        ReadHead(oldLength);
    // Until its head and a length are known, a response is bounded by the bytes it has; then by
    // the length its head announces, which fails it before those bytes come.
    const std::uint64_t size = m_bFirstRead || m_nContentLength < 0
                                   ? m_response.GetLength()
                                   : m_nBodyOffset + static_cast<std::uint64_t>(m_nContentLength);
    if (size > m_nMaxResponseBytes) {
        StopOverLimit();
        return;
    }
    if (!m_bFirstRead && BodyComplete())
        OnMessage(m_response);
}
