// CAdminSocket: the asynchronous socket of a connection. It hands its notifications on to the
// connection that owns it.
#pragma once

#include "ltpadmin/export.h"

#include "ltpadmin/platform/platform.h"

class CConnection;

class LTPADMIN_API CAdminSocket : public CAsyncSocket {
public:
    explicit CAdminSocket(CConnection* pOwner) : m_pOwner(pOwner) {}

    void OnReceive(int nErrorCode) override;
    void OnSend(int nErrorCode) override;
    void OnConnect(int nErrorCode) override;
    // The error code is dropped: the connection only needs to know that the peer has gone.
    void OnClose(int nErrorCode) override;

    CConnection* m_pOwner; // not owned
};
