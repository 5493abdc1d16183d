#include "ltpadmin/transport/admin_socket.h"

#include "ltpadmin/transport/connection.h"

void CAdminSocket::OnReceive(int nErrorCode) {
    m_pOwner->OnReceive(nErrorCode);
    CAsyncSocket::OnReceive(nErrorCode);
}

void CAdminSocket::OnSend(int nErrorCode) {
    m_pOwner->OnSend(nErrorCode);
    CAsyncSocket::OnSend(nErrorCode);
}

void CAdminSocket::OnConnect(int nErrorCode) {
    m_pOwner->OnConnect(nErrorCode);
    CAsyncSocket::OnConnect(nErrorCode);
}

void CAdminSocket::OnClose(int /*nErrorCode*/) {
    m_pOwner->OnClose();
}
