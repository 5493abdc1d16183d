#include "ltpd_thread.h"

#include <unistd.h>

#include "tools/ltpd/code_page.h"
#include "tools/ltpd/schema.h"

namespace ltptest {

LtpdThread::LtpdThread(unsigned codePage) {
    ltpd::CreateSchema(m_db);
    ltpd::CodePage pages;
    pages.Select(codePage);
    m_service = std::make_unique<ltpd::Service>(m_db, ltpd::Credentials{kUser, kPassword}, pages);
    ltpd::ServerOptions options;
    options.port = 0;
    options.quiet = true;
    m_server = std::make_unique<ltpd::Server>(*m_service, options);
}

LtpdThread::~LtpdThread() {
    Stop();
    for (int fd : m_stop)
        if (fd >= 0)
            close(fd);
}

bool LtpdThread::Start(std::string& error) {
    if (!m_server->Listen(error))
        return false;
    if (pipe(m_stop) != 0) {
        error = "pipe failed";
        return false;
    }
    m_thread = std::thread([this] { m_server->Run(m_stop[0]); });
    return true;
}

void LtpdThread::Stop() {
    if (!m_thread.joinable())
        return;
    (void)!write(m_stop[1], "x", 1);
    m_thread.join();
}

unsigned short LtpdThread::Port() const {
    return m_server->Port();
}

bool LtpdThread::LogIn(CLTPCreater& admin) const {
    admin.SetServerAddressPort(inet_addr("127.0.0.1"), Port());
    return admin.LogIn("127.0.0.1", kUser, kPassword) == 1;
}

} // namespace ltptest
