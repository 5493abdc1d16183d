// An ltpd serving an in-memory database on a free loopback port from a thread of its own, so that
// tests can drive the library against the real server and still read the server's state.
#pragma once

#include <memory>
#include <string>
#include <thread>

#include "ltpadmin/ltpadmin.h"
#include "tools/ltpd/database.h"
#include "tools/ltpd/server.h"
#include "tools/ltpd/service.h"

namespace ltptest {

class LtpdThread {
public:
    static constexpr const char* kUser = "admin";
    static constexpr const char* kPassword = "pw";

    // codePage: the code page ltpd splits fields under (1252, 932, 936, 949 or 950).
    explicit LtpdThread(unsigned codePage = 1252);
    ~LtpdThread();
    LtpdThread(const LtpdThread&) = delete;
    LtpdThread& operator=(const LtpdThread&) = delete;

    // Listens and starts serving; false with a reason when it cannot.
    bool Start(std::string& error);
    // Ends the loop, closing every connection, and waits for the thread.
    void Stop();
    unsigned short Port() const;

    // Sets the address and port of the running server and logs in with its credentials.
    bool LogIn(CLTPCreater& admin) const;

private:
    ltpd::Database m_db{":memory:"};
    std::unique_ptr<ltpd::Service> m_service;
    std::unique_ptr<ltpd::Server> m_server;
    int m_stop[2] = {-1, -1};
    std::thread m_thread;
};

} // namespace ltptest
