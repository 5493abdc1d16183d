// Answers one parsed request: checks the credentials, reads the body against the request's form,
// runs the handler in a transaction and counts what the server did.
#pragma once

#include <string>

#include "tools/ltpd/code_page.h"
#include "tools/ltpd/database.h"
#include "tools/ltpd/handlers.h"
#include "tools/ltpd/request_parser.h"
#include "tools/ltpd/response_writer.h"

namespace ltpd {

struct Credentials {
    std::string user;
    std::string password;
};

class Service {
public:
    // The database must hold the schema (CreateSchema).
    Service(Database& db, Credentials credentials, CodePage codePage = CodePage());

    Response Handle(const Request& request);
    // Whether the request carries the user name and password; Handle answers 401 when not.
    bool Authorized(const Request& request) const;

    ServerCounters& Counters() { return m_counters; }
    const CodePage& Codes() const { return m_codePage; }

private:
    Database& m_db;
    Credentials m_credentials;
    CodePage m_codePage;
    ServerCounters m_counters;
    HandlerTable m_handlers{};
};

} // namespace ltpd
