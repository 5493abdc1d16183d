// Answers one parsed request: checks the credentials, reads the body against the request's form,
// runs the handler in a transaction and counts what the server did.
#pragma once

#include <optional>
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

    // Screen, then Serve: for a request that has arrived whole.
    Response Handle(const Request& request);
    // The one check of the credentials, made as soon as the head has arrived: the 401 answer
    // when the request does not carry the user name and password, nothing when it does.
    std::optional<Response> Screen(const Request& head);
    // Answers a whole request that Screen has let through.
    Response Serve(const Request& request);

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
