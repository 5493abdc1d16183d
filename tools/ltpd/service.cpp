#include "tools/ltpd/service.h"

#include <chrono>
#include <new>

#include <ltpadmin/ltp/dates.h>

namespace ltpd {
namespace {

// Compares without stopping at the first difference, so that timing tells nothing about how
// much of a password was right.
bool SameSecret(const std::string& a, const std::string& b) {
    unsigned char diff = a.size() == b.size() ? 0 : 1;
    for (size_t i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ (i < b.size() ? b[i] : 0));
    return diff == 0;
}

} // namespace

Response NotFound(const std::string& what) {
    return Refuse(404, "no such " + what);
}
Response Duplicate(const std::string& what) {
    return Refuse(409, what + " already exists");
}
Response BadRequest(const std::string& why) {
    return Refuse(400, why);
}

void Context::Log(const std::string& text) {
    db.Prepare("INSERT INTO log_events (at, user, text) VALUES (?1, ?2, ?3)")
        .Bind(1, ltp::to_wire_date(std::chrono::system_clock::now()))
        .Bind(2, std::string_view(user).substr(0, 49))
        .Bind(3, std::string_view(text).substr(0, 254))
        .Run();
}

Service::Service(Database& db, Credentials credentials, CodePage codePage)
    : m_db(db), m_credentials(std::move(credentials)), m_codePage(codePage) {
    m_counters.startedAt = ServerClockNow();
    AddServerHandlers(m_handlers);
    AddCatalogueHandlers(m_handlers);
    AddRelationHandlers(m_handlers);
    AddRightsHandlers(m_handlers);
    AddStatisticsHandlers(m_handlers);
    AddMtpHandlers(m_handlers);
}

std::optional<Response> Service::Screen(const Request& head) {
    if (head.hasUser && head.hasPassword && SameSecret(head.user, m_credentials.user) &&
        SameSecret(head.password, m_credentials.password))
        return std::nullopt;
    ++m_counters.requests;
    return Refuse(401, "wrong user name or password");
}

Response Service::Handle(const Request& request) {
    if (std::optional<Response> refusal = Screen(request))
        return *refusal;
    return Serve(request);
}

Response Service::Serve(const Request& request) {
    ++m_counters.requests;
    const ltp::detail::CommandRow* row = request.row;
    if (!row)
        return BadRequest("unknown request " + request.verb.substr(0, 40) + " " +
                          request.object.substr(0, 40));
    Handler handler = m_handlers[static_cast<size_t>(row->number)];
    if (!handler)
        return Refuse(501, "request not served");

    BodyValues values;
    switch (row->body) {
        case ltp::detail::BodyKind::Key:
        case ltp::detail::BodyKind::Record:
        case ltp::detail::BodyKind::Query: {
            std::string error;
            if (!ReadBody(request.body, row->bodyTemplate, m_codePage, values, error))
                return BadRequest(error);
            break;
        }
        case ltp::detail::BodyKind::None:
        case ltp::detail::BodyKind::Text:
            break;
    }

    Context context{m_db, m_codePage, m_counters, m_credentials.user, request.body};
    try {
        Transaction transaction(m_db);
        Response response = handler(context, values);
        if (response.status == 200)
            transaction.Commit();
        return response;
    } catch (const DatabaseError& e) {
        return Refuse(500, std::string("database error: ") + e.what());
    } catch (const std::bad_alloc&) {
        return Refuse(500, "out of memory");
    }
}

} // namespace ltpd
