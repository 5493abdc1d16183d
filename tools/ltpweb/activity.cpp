#include "tools/ltpweb/activity.h"

#include <chrono>
#include <ctime>
#include <map>
#include <stdexcept>

#include <sqlite3.h>

#include "tools/ltpweb/api_error.h"
#include "tools/ltpweb/list_query.h"

namespace ltpweb {
namespace {

// A record kept whole is enough to undo a change by hand; a whole list or log is not worth it.
constexpr std::size_t kMaxJson = 16 * 1024;

std::string Kept(const nlohmann::ordered_json& value) {
    if (value.is_null())
        return {};
    std::string text = value.dump();
    if (text.size() > kMaxJson)
        return nlohmann::ordered_json("(" + std::to_string(text.size()) + " bytes, not kept)")
            .dump();
    return text;
}

std::string NowUtc() {
    std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

struct Statement {
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string("activity log: ") + sqlite3_errmsg(db));
    }
    ~Statement() { sqlite3_finalize(s); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    void Bind(int i, const std::string& text) {
        sqlite3_bind_text(s, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    void Bind(int i, long n) { sqlite3_bind_int64(s, i, n); }
    std::string Column(int i) {
        const unsigned char* t = sqlite3_column_text(s, i);
        return t ? reinterpret_cast<const char*>(t) : "";
    }
    sqlite3_stmt* s = nullptr;
};

void Exec(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::string why = error ? error : "failed";
        sqlite3_free(error);
        throw std::runtime_error("activity log: " + why);
    }
}

nlohmann::ordered_json JsonOrNull(const std::string& text) {
    if (text.empty())
        return nullptr;
    return nlohmann::ordered_json::parse(text, nullptr, false);
}

// The path with its {names} replaced by the call's values.
std::string Resolved(const std::string& pattern, const Call& call) {
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '{') {
            out += pattern[i];
            continue;
        }
        std::size_t end = pattern.find('}', i);
        auto it = call.path.find(pattern.substr(i + 1, end - i - 1));
        out += it == call.path.end() ? "" : it->second;
        i = end;
    }
    return out;
}

// The GET route that reads the record a change touches: the change's own path (not for a POST,
// which adds to a list), else its path less the last segment when that names one record.
const Route* RecordReader(const std::vector<Route>& routes, const Route& change) {
    auto get = [&](const std::string& path) -> const Route* {
        for (const Route& r : routes)
            if (r.method == "GET" && r.path == path)
                return &r;
        return nullptr;
    };
    if (change.method != "POST")
        if (const Route* r = get(change.path))
            return r;
    std::size_t slash = change.path.rfind('/');
    std::string up = change.path.substr(0, slash);
    if (!up.empty() && up.back() == '}')
        return get(up);
    return nullptr;
}

nlohmann::ordered_json Read(const Handler& reader, const Call& call) {
    if (!reader)
        return nullptr;
    Call read;
    read.path = call.path;
    read.session = call.session;
    read.clientAddress = call.clientAddress;
    try {
        return reader(read).body;
    } catch (const ApiError&) {
        return nullptr; // not there (yet, or any more)
    }
}

} // namespace

ActivityLog::ActivityLog(const std::string& file, long maxEntries) : m_max(maxEntries) {
    if (sqlite3_open_v2(file.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        std::string why = m_db ? sqlite3_errmsg(m_db) : "cannot open";
        sqlite3_close(m_db);
        throw std::runtime_error("activity log " + file + ": " + why);
    }
    try {
        sqlite3_busy_timeout(m_db, 2000);
        Exec(m_db, "CREATE TABLE IF NOT EXISTS activity (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                   "at TEXT, who TEXT, action TEXT, method TEXT, path TEXT, before TEXT, "
                   "after TEXT)");
    } catch (...) {
        sqlite3_close(m_db);
        throw;
    }
}

ActivityLog::~ActivityLog() {
    sqlite3_close(m_db);
}

void ActivityLog::Add(const std::string& who, const std::string& action, const std::string& method,
                      const std::string& path, const nlohmann::ordered_json& before,
                      const nlohmann::ordered_json& after) {
    std::lock_guard<std::mutex> hold(m_lock);
    Statement add(m_db, "INSERT INTO activity (at, who, action, method, path, before, after) "
                        "VALUES (?, ?, ?, ?, ?, ?, ?)");
    add.Bind(1, NowUtc());
    add.Bind(2, who);
    add.Bind(3, action);
    add.Bind(4, method);
    add.Bind(5, path);
    add.Bind(6, Kept(before));
    add.Bind(7, Kept(after));
    if (sqlite3_step(add.s) != SQLITE_DONE)
        throw ApiError(500, "internal", std::string("activity log: ") + sqlite3_errmsg(m_db));
    Statement trim(m_db, "DELETE FROM activity WHERE id <= (SELECT MAX(id) FROM activity) - ?");
    trim.Bind(1, m_max);
    sqlite3_step(trim.s);
}

nlohmann::ordered_json ActivityLog::Page(const std::string& q, long offset, long limit) {
    std::lock_guard<std::mutex> hold(m_lock);
    const char* where = " WHERE ?1 = '' OR instr(lower(at || ' ' || who || ' ' || action || ' ' || "
                        "method || ' ' || path || ' ' || before || ' ' || after), lower(?1)) > 0";
    Statement count(m_db, (std::string("SELECT COUNT(*) FROM activity") + where).c_str());
    count.Bind(1, q);
    sqlite3_step(count.s);
    long total = static_cast<long>(sqlite3_column_int64(count.s, 0));
    Statement rows(m_db, (std::string("SELECT at, who, action, method, path, before, after FROM "
                                      "activity") +
                          where + " ORDER BY id DESC LIMIT ?2 OFFSET ?3")
                             .c_str());
    rows.Bind(1, q);
    rows.Bind(2, limit);
    rows.Bind(3, offset);
    nlohmann::ordered_json items = nlohmann::ordered_json::array();
    while (sqlite3_step(rows.s) == SQLITE_ROW)
        items.push_back({{"at", rows.Column(0)},
                         {"who", rows.Column(1)},
                         {"action", rows.Column(2)},
                         {"method", rows.Column(3)},
                         {"path", rows.Column(4)},
                         {"before", JsonOrNull(rows.Column(5))},
                         {"after", JsonOrNull(rows.Column(6))}});
    return {{"total", total}, {"offset", offset}, {"limit", limit}, {"items", std::move(items)}};
}

void RecordActivity(std::vector<Route>& routes, std::shared_ptr<ActivityLog> log) {
    std::map<std::size_t, Handler> readers;
    for (std::size_t i = 0; i < routes.size(); ++i)
        if (routes[i].method != "GET" && routes[i].needsSession)
            if (const Route* r = RecordReader(routes, routes[i]))
                readers[i] = r->handler;
    for (std::size_t i = 0; i < routes.size(); ++i) {
        Route& route = routes[i];
        if (route.method == "GET" || !route.needsSession)
            continue;
        route.handler = [log, reader = readers[i], change = route.handler, method = route.method,
                         pattern = route.path, action = route.summary](Call& call) {
            nlohmann::ordered_json before = Read(reader, call);
            Reply reply = change(call);
            nlohmann::ordered_json after;
            if (method != "DELETE")
                after = reader ? Read(reader, call) : nlohmann::ordered_json(call.body);
            if (method == "POST" && !reader && after.is_object() && reply.body.is_object())
                after.update(reply.body); // the key the server assigned
            log->Add(call.session ? call.session->user : "", action, method,
                     Resolved(pattern, call), before, after);
            return reply;
        };
    }
    std::vector<QueryParam> query = ListQueryParams();
    Route activity{"GET",
                   "/api/activity",
                   "meta",
                   "What this console changed, newest first; q searches, offset and limit page",
                   {},
                   query,
                   [log](Call& call) {
                       // The paging checks of lists, on an empty list, for the same errors.
                       nlohmann::ordered_json page = PageOf(nlohmann::ordered_json::array(), call);
                       auto q = call.query.find("q");
                       return Reply{log->Page(q == call.query.end() ? "" : q->second,
                                              page["offset"].get<long>(),
                                              page["limit"].get<long>())};
                   }};
    activity.operation = "activity";
    routes.push_back(std::move(activity));
}

} // namespace ltpweb
