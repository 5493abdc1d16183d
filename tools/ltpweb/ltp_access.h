// How API handlers reach the LTP server: ltpweb is one gateway, not many clients. Sessions signed
// in with the same credentials share one bounded pool of LTP connections; failures of the client
// become API errors with fitting HTTP codes.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <ltpadmin/client.h>

#include "tools/common/operations.h"
#include "tools/common/record_json.h"
#include "tools/common/schema.h"
#include "tools/ltpweb/api_error.h"
#include "tools/ltpweb/routes.h"

namespace ltpweb {

// The pool of one set of credentials, alive while a session uses it.
struct LtpPool {
    LtpPool(const ltp::Options& options, std::size_t count) : pool(options, count), size(count) {}
    ltp::Pool pool;
    std::size_t size;
};

// Counts of the gateway's pools, read by the metrics.
struct LtpPoolUse {
    std::atomic<long> open{0};  // connections the live pools may hold
    std::atomic<long> inUse{0}; // leased now
};

struct LtpSession : SessionData {
    LtpSession(std::shared_ptr<LtpPool> p, LtpPoolUse& u) : pool(std::move(p)), use(u) {}
    std::shared_ptr<LtpPool> pool;
    LtpPoolUse& use;
};

class LtpGateway {
public:
    LtpGateway(ltp::Options server, std::size_t perCredentials)
        : m_server(std::move(server)), m_size(perCredentials) {}
    // Signs in with a real request through the pool of those credentials (made when none is
    // alive). Throws ApiError when refused (401) or when the server is out of reach.
    std::shared_ptr<SessionData> SignIn(const std::string& user, const std::string& password);
    LtpPoolUse& Use() { return m_use; }

private:
    ltp::Options m_server;
    std::size_t m_size;
    LtpPoolUse m_use;
    std::mutex m_mutex;
    std::map<std::string, std::weak_ptr<LtpPool>> m_pools; // by user and password
};

// The API error for a failure of the client (or of a record's JSON); rethrows anything else.
[[noreturn]] void ThrowApiError(std::exception_ptr failure);

// Runs f with a client of the call's session, turning the client's failures into API errors.
template <class F> auto WithClient(Call& call, F&& f) {
    auto& session = static_cast<LtpSession&>(*call.session->data);
    try {
        ltp::Pool::Lease lease = session.pool->pool.acquire();
        struct InUse {
            std::atomic<long>& n;
            explicit InUse(std::atomic<long>& c) : n(c) { ++n; }
            ~InUse() { --n; }
        } counted(session.use.inUse);
        return f(*lease);
    } catch (...) {
        ThrowApiError(std::current_exception());
    }
}

// Body fields of a record type, from its reflection: only the fields that are sent.
template <class T> std::vector<BodyField> RecordBodyFields() {
    std::vector<BodyField> out;
    for (const ltp::Field<T>& f : ltp::fields<T>()) {
        if (!f.sent)
            continue;
        JsonType type = f.kind == ltp::FieldKind::text      ? JsonType::String
                        : f.kind == ltp::FieldKind::integer ? JsonType::Integer
                        : f.kind == ltp::FieldKind::date    ? JsonType::Date
                                                            : JsonType::Number;
        out.push_back({f.wire_name, type, false});
    }
    return out;
}

// Dates gain their zone: the tools write UTC without one, which a browser would read as its own
// local time.
std::string ZonedDate(const std::string& utc);

// A record as the API answers it: wire names, dates as ISO-8601 in UTC with "Z".
template <class T> nlohmann::ordered_json RecordJson(const T& record) {
    nlohmann::ordered_json out = ltptools::RecordToJson(record);
    for (const ltp::Field<T>& f : ltp::fields<T>())
        if (f.kind == ltp::FieldKind::date && out[f.wire_name].is_string())
            out[f.wire_name] = ZonedDate(out[f.wire_name].template get<std::string>());
    return out;
}

template <class T> nlohmann::ordered_json ListToJson(const std::vector<T>& records) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const T& r : records)
        out.push_back(RecordJson(r));
    return out;
}

template <class T> T RecordFromBody(const nlohmann::ordered_json& body) {
    try {
        return ltptools::RecordFromJson<T>(body);
    } catch (const ltptools::RecordJsonError& e) {
        throw BadRequest(e.what());
    }
}

// The route of an operation of the description: its method, path, tag (ltpctl's command word),
// summary and name come from its row.
Route Described(ltptools::Op op, Handler handler, std::vector<BodyField> body = {},
                std::vector<QueryParam> query = {});
// The same for a family's verb.
Route Described(const ltptools::OperationWords& words, const std::string& tag, Handler handler,
                std::vector<BodyField> body = {}, std::vector<QueryParam> query = {});

// The routes that still answer an earlier path of an operation, as deprecated copies.
void AddOldPaths(std::vector<Route>& routes);

// Routes of the common shapes; f gets the client and the call.

// A GET answering a list of records.
template <class F> Route ListRoute(ltptools::Op op, F f, std::vector<QueryParam> query = {}) {
    return Described(
        op,
        [f](Call& call) {
            return Reply{ListToJson(WithClient(call, [&](ltp::Client& c) { return f(c, call); }))};
        },
        {}, std::move(query));
}

// A GET answering one number as {name: n}.
template <class F> Route NumberRoute(ltptools::Op op, std::string name, F f) {
    return Described(op, [f, name](Call& call) {
        return Reply{{{name, WithClient(call, [&](ltp::Client& c) { return f(c, call); })}}};
    });
}

// A change that answers {} with okStatus.
template <class F>
Route ChangeRoute(ltptools::Op op, std::vector<BodyField> body, F f, int okStatus = 200,
                  std::vector<QueryParam> query = {}) {
    Route r = Described(
        op,
        [f](Call& call) {
            WithClient(call, [&](ltp::Client& c) { f(c, call); });
            return Reply{nlohmann::ordered_json::object()};
        },
        std::move(body), std::move(query));
    r.okStatus = okStatus;
    return r;
}

// The wire date of a query parameter; fallback when the parameter is absent.
double QueryDate(const Call& call, const std::string& name, double fallback);

// The programs nested by their parent (Number6, 0 for the top level), each with "children". A
// program whose parent is missing, or whose parents lead round in a circle, is put at the top
// level so that nothing the server holds is hidden and no walk goes round for ever.
nlohmann::ordered_json ProgramTree(const std::vector<ltp::Program>& programs);

// The API's routes, family by family.
void AddCatalogueRoutes(std::vector<Route>& routes);
void AddRelationRoutes(std::vector<Route>& routes);
void AddServerRoutes(std::vector<Route>& routes, const ltptools::FieldLabels& labels);
// GET /api/schema: every record kind's fields with what the schema says of them.
void AddSchemaRoute(std::vector<Route>& routes, const ltptools::Schema& schema);
nlohmann::ordered_json SchemaDocument(const ltptools::Schema& schema);

inline std::vector<Route> ApiRoutes(const ltptools::Schema& schema) {
    std::vector<Route> routes;
    // Fixed paths such as /api/programs/tree come before the /api/programs/{id} they would match.
    AddRelationRoutes(routes);
    AddCatalogueRoutes(routes);
    AddServerRoutes(routes, schema.Labels());
    AddSchemaRoute(routes, schema);
    AddOldPaths(routes);
    return routes;
}

} // namespace ltpweb
