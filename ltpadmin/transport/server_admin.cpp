#include "ltpadmin/transport/server_admin.h"

#include <cstring>
#include <functional>

#include <arpa/inet.h>

#include "ltpadmin/platform/platform.h"
#include "ltpadmin/platform/tagged_message.h"
#include "ltpadmin/transport/library_init.h"

namespace {

const UINT_PTR kTimerID = 100;
const UINT kTimerPeriod = 1000;

bool IsInside(const CMessage& message, const void* p) {
    const char* data = message.GetData();
    const char* byte = static_cast<const char*>(p);
    return data != nullptr && byte != nullptr && std::less_equal<const char*>()(data, byte) &&
           std::less_equal<const char*>()(byte, data + message.GetLength());
}

CString DottedText(ULONG nAddress) {
    in_addr address;
    address.s_addr = nAddress;
    return CString(inet_ntoa(address));
}

} // namespace

CServerAdmin::CServerAdmin()
    : m_pResultBuffer(nullptr), m_nLastError(0), m_nResultBufferSize(0), m_nPort(0), m_nTimerID(0),
      m_hMainWnd(nullptr), m_nMaxResultBytes(LTP_DEFAULT_MAX_RESULT_BYTES) {}

CServerAdmin::CServerAdmin(const CServerAdmin& other)
    : m_connection(other.m_connection), m_pResultBuffer(other.m_pResultBuffer),
      m_nLastError(other.m_nLastError), m_strServerAddress(other.m_strServerAddress),
      m_strPassword(other.m_strPassword), m_strUserName(other.m_strUserName),
      m_nResultBufferSize(other.m_nResultBufferSize), m_nPort(other.m_nPort),
      m_nTimerID(0), // the timer stays the source's; each session stops only its own
      m_hMainWnd(other.m_hMainWnd), m_nMaxResultBytes(other.m_nMaxResultBytes) {}

CServerAdmin& CServerAdmin::operator=(const CServerAdmin& other) {
    if (this == &other)
        return *this;
    m_connection = other.m_connection; // closes this session's own connection first
    if (m_nTimerID != 0)
        KillTimer(nullptr, m_nTimerID);
    m_nTimerID = 0;
    m_pResultBuffer = other.m_pResultBuffer;
    m_nLastError = other.m_nLastError;
    m_strServerAddress = other.m_strServerAddress;
    m_strPassword = other.m_strPassword;
    m_strUserName = other.m_strUserName;
    m_nResultBufferSize = other.m_nResultBufferSize;
    m_nPort = other.m_nPort;
    m_hMainWnd = other.m_hMainWnd;
    m_nMaxResultBytes = other.m_nMaxResultBytes;
    return *this;
}

CServerAdmin::~CServerAdmin() {
    m_connection.Disconnect();
    if (m_nTimerID != 0)
        KillTimer(nullptr, m_nTimerID);
}

void CServerAdmin::SetServerAddressPort(unsigned int nAddress, unsigned int nPort) {
    m_strServerAddress = DottedText(nAddress);
    m_nPort = nPort;
}

void CServerAdmin::SetMainWnd(HWND hWnd) {
    m_hMainWnd = hWnd;
}

void CServerAdmin::SetNotifyWnd(HWND hWnd) {
    m_connection.SetNotifyWnd(hWnd);
}

void CServerAdmin::SetMaxResponseBytes(DWORD nBytes) {
    m_connection.m_nMaxResponseBytes = nBytes;
}

DWORD CServerAdmin::GetMaxResponseBytes() const {
    return m_connection.m_nMaxResponseBytes;
}

void CServerAdmin::SetMaxResultBytes(size_t nBytes) {
    m_nMaxResultBytes = nBytes;
}

size_t CServerAdmin::GetMaxResultBytes() const {
    return m_nMaxResultBytes;
}

int CServerAdmin::LogIn(const char* pszAddress, const char* pszUserName, const char* pszPassword) {
    if (pszAddress == nullptr)
        pszAddress = "";
    return OpenConnection(inet_addr(pszAddress), pszAddress, pszUserName, pszPassword);
}

int CServerAdmin::LogIn(ULONG nAddress, const char* pszUserName, const char* pszPassword) {
    char szAddress[50];
    std::memset(szAddress, 0, sizeof szAddress);
    std::strncpy(szAddress, DottedText(nAddress), sizeof szAddress - 1);
    return OpenConnection(nAddress, szAddress, pszUserName, pszPassword);
}

int CServerAdmin::OpenConnection(ULONG nAddress, const char* pszAddress, const char* pszUserName,
                                 const char* pszPassword) {
    ltp::detail::EnsureSocketLayer();
    if (m_nPort == 0)
        SetServerAddressPort(nAddress, LTP_DEFAULT_PORT);
    m_strUserName = pszUserName;
    m_strPassword = pszPassword;
    if (!m_connection.Connect(pszAddress, m_nPort & 0xFFFFu)) {
        m_connection.EndRequest(LTP_ERROR_CONNECT);
        return 0;
    }
    return 1;
}

int CServerAdmin::LogOut() {
    // A wait that is still running ends with -4.
    m_connection.EndRequest(LTP_ERROR_CONNECT);
    m_connection.Disconnect();
    return 1;
}

void CServerAdmin::StartRequest() {
    if (m_nTimerID != 0)
        KillTimer(nullptr, m_nTimerID);
    m_nTimerID = SetTimer(nullptr, kTimerID, kTimerPeriod, TimeCallback);
    ResetEvent(m_connection.m_hEvent);
}

int CServerAdmin::AsyncRequest(int /*nReserved*/, void* pRequest, ULONG nRequestLength,
                               void* pResultBuffer, ULONG& nResultBufferSize) {
    StartRequest();
    const ULONG nLength = pRequest != nullptr ? nRequestLength : 0;
    // Bytes that lie in the connection's own buffers (a response sent back, say) are saved before
    // those are emptied.
    CMessage saved;
    bool bCopied = true;
    if (IsInside(m_connection.m_request, pRequest) || IsInside(m_connection.m_response, pRequest)) {
        bCopied = saved.Append(pRequest, nLength) != 0;
        pRequest = saved.GetData();
    }
    m_connection.m_request.Empty();
    m_connection.m_response.Empty();
    // Otherwise the bytes are copied once, straight into the request buffer; SetRequest then
    // finds its own buffer and only starts the sending.
    CMessage& request = m_connection.m_request;
    if (bCopied && request.Append(pRequest, nLength)) {
        m_connection.SetRequest(request);
    } else {
        // No room for the request: it fails at once instead of going out cut short.
        m_connection.EndRequest(LTP_ERROR_SEND);
    }
    m_pResultBuffer = pResultBuffer;
    m_nResultBufferSize = nResultBufferSize;
    return 1;
}

int CServerAdmin::AsyncRequestLent(const char* pRequest, ULONG nRequestLength) {
    StartRequest();
    m_connection.m_response.Empty();
    m_connection.LendRequest(pRequest, pRequest != nullptr ? nRequestLength : 0);
    m_pResultBuffer = nullptr;
    m_nResultBufferSize = 0;
    return 1;
}

void CServerAdmin::KeepOwnRequest() {
    m_connection.KeepOwnRequest();
}

int CServerAdmin::AsyncRequest(int nReserved, void* pRequest, ULONG nRequestLength,
                               void* pResultBuffer, unsigned long& nResultBufferSize) {
    // Capacities beyond 32 bits exceed any response the session can hold.
    ULONG nCapacity = nResultBufferSize > 0xFFFFFFFFul ? 0xFFFFFFFFu : ULONG(nResultBufferSize);
    return AsyncRequest(nReserved, pRequest, nRequestLength, pResultBuffer, nCapacity);
}

int CServerAdmin::FilterMessage(const MSG& msg, int cyCaption, UINT_PTR nSender) {
    const UINT message = msg.message;
    // The close notice of another session's connection is that session's business: it goes to
    // the application's windows like any other message. One the application posts itself still
    // cancels the wait.
    if (message == WM_LTP_CLOSED && (nSender == 0 || nSender == m_connection.m_nTag))
        return 0;
    // User input, menu commands and close requests are dropped while a request runs.
    if ((message >= WM_MOUSEFIRST && message <= WM_MBUTTONDBLCLK) || message == WM_COMMAND ||
        message == WM_DESTROY || message == WM_CLOSE ||
        (message >= WM_KEYFIRST && message <= WM_KEYLAST))
        return 1;
    if (message == WM_NCLBUTTONDOWN && msg.hwnd == m_hMainWnd && m_hMainWnd != nullptr) {
        // Clicks on the caption buttons (right) and the system menu icon (left) are dropped; the
        // rest of the caption still drags the window.
        RECT window = {0, 0, 0, 0};
        if (GetWindowRect(m_hMainWnd, &window)) {
            const RECT right = {window.right - cyCaption, window.top, window.right, window.bottom};
            const RECT left = {window.left, window.top, window.left + cyCaption, window.bottom};
            if (PtInRect(&right, msg.pt) || PtInRect(&left, msg.pt))
                return 1;
        }
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return 1;
}

int CServerAdmin::WaitResponseAndPumpMessage(ULONG nTimeout) {
    const DWORD start = GetTickCount();
    const int cyCaption = GetSystemMetrics(SM_CYCAPTION);
    for (;;) {
        MSG msg;
        UINT_PTR sender = 0;
        bool closed = false;
        while (!closed &&
               ltpadmin_platform::PeekTaggedMessage(&msg, &sender, nullptr, 0, 0, PM_REMOVE))
            closed = !FilterMessage(msg, cyCaption, sender);
        const bool ended = WaitForSingleObject(m_connection.m_hEvent, 0) == WAIT_OBJECT_0;
        if (closed) {
            // The server has closed the connection. A response that had already arrived whole
            // stands; anything else fails with code 0.
            if (ended && m_connection.m_nError == LTP_ERROR_NONE && m_connection.m_bComplete)
                break;
            m_nLastError = LTP_ERROR_NONE;
            return 0;
        }
        if (ended)
            break;
        const DWORD now = GetTickCount();
        const DWORD elapsed = now >= start ? now - start : 0xFFFFFFFFu - start + now;
        if (elapsed > nTimeout) {
            m_nLastError = LTP_ERROR_TIMEOUT;
            return 0;
        }
        WaitMessage();
    }
    m_nLastError = m_connection.m_nError;
    if (m_pResultBuffer != nullptr) {
        const CMessage& response = m_connection.m_response;
        const ULONG count =
            response.GetLength() < m_nResultBufferSize ? response.GetLength() : m_nResultBufferSize;
        if (count != 0)
            std::memcpy(m_pResultBuffer, response.GetData(), count);
    }
    // A connection closed before the whole response arrived fails the request (code 0).
    return m_connection.m_nError == LTP_ERROR_NONE && m_connection.m_bComplete ? 1 : 0;
}

void* CServerAdmin::GetRequestHandle() const {
    return m_connection.m_hEvent;
}

DWORD CServerAdmin::GetLastError() const {
    return static_cast<DWORD>(m_nLastError);
}

CMessage& CServerAdmin::GetReadMessage() {
    return m_connection.m_response;
}

void CALLBACK CServerAdmin::TimeCallback(HWND, UINT, UINT_PTR, DWORD) {}
