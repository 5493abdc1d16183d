#include "tools/ltpd/database.h"

#include <sqlite3.h>

#include <cstddef>

namespace ltpd {
namespace {

constexpr std::size_t kMostKept = 256;

[[noreturn]] void Throw(sqlite3* db, const char* what) {
    throw DatabaseError(std::string(what) + ": " + (db ? sqlite3_errmsg(db) : "out of memory"),
                        db && sqlite3_errcode(db) == SQLITE_BUSY);
}

} // namespace

Statement::Statement(sqlite3* db, std::string_view sql) : m_db(db) {
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &m_stmt, nullptr) !=
        SQLITE_OK)
        Throw(db, "prepare");
}

Statement::~Statement() {
    if (m_lent) {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
        *m_lent = false;
    } else {
        sqlite3_finalize(m_stmt);
    }
}

Statement& Statement::Bind(int index, std::string_view text) {
    // Bytes are stored as they came: the server carries texts in the clients' code page.
    if (sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT) != SQLITE_OK)
        Throw(m_db, "bind");
    return *this;
}

Statement& Statement::Bind(int index, int64_t number) {
    if (sqlite3_bind_int64(m_stmt, index, number) != SQLITE_OK)
        Throw(m_db, "bind");
    return *this;
}

Statement& Statement::Bind(int index, double decimal) {
    if (sqlite3_bind_double(m_stmt, index, decimal) != SQLITE_OK)
        Throw(m_db, "bind");
    return *this;
}

bool Statement::Step() {
    int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    Throw(m_db, "step");
}

void Statement::Run() {
    while (Step()) {
    }
}

void Statement::Reset() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

std::string Statement::Text(int column) const {
    const unsigned char* p = sqlite3_column_text(m_stmt, column);
    int n = sqlite3_column_bytes(m_stmt, column);
    return p ? std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(n))
             : std::string();
}

int64_t Statement::Integer(int column) const {
    return sqlite3_column_int64(m_stmt, column);
}

double Statement::Decimal(int column) const {
    return sqlite3_column_double(m_stmt, column);
}

bool Statement::IsNull(int column) const {
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

Database::Database(const std::string& path) {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
        std::string msg = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        sqlite3_close(m_db);
        m_db = nullptr;
        throw DatabaseError("cannot open: " + msg);
    }
    sqlite3_busy_timeout(m_db, 2000);
}

Database::~Database() {
    for (auto& [sql, kept] : m_kept)
        sqlite3_finalize(kept.stmt);
    sqlite3_close(m_db);
}

Statement Database::Prepare(std::string_view sql) {
    std::string key(sql); // one copy of the text, to look up and, when new, to keep
    auto found = m_kept.find(key);
    if (found == m_kept.end() && m_kept.size() < kMostKept) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v3(m_db, sql.data(), static_cast<int>(sql.size()),
                               SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK)
            Throw(m_db, "prepare");
        found = m_kept.emplace(std::move(key), Kept{stmt, false}).first;
    }
    if (found == m_kept.end() || found->second.lent)
        return Statement(m_db, sql);
    found->second.lent = true;
    return Statement(m_db, found->second.stmt, &found->second.lent);
}

void Database::Exec(std::string_view sql) {
    std::string text(sql);
    char* err = nullptr;
    if (sqlite3_exec(m_db, text.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = err ? err : "unknown error";
        sqlite3_free(err);
        throw DatabaseError(msg);
    }
}

int64_t Database::LastInsertId() const {
    return sqlite3_last_insert_rowid(m_db);
}

int Database::Changes() const {
    return sqlite3_changes(m_db);
}

Transaction::Transaction(Database& db) : m_db(db) {
    m_db.Prepare("BEGIN IMMEDIATE").Run();
}

Transaction::~Transaction() {
    if (!m_done) {
        try {
            m_db.Prepare("ROLLBACK").Run();
        } catch (const DatabaseError&) {
            // Nothing more can be done; the transaction is gone either way.
        }
    }
}

void Transaction::Commit() {
    m_db.Prepare("COMMIT").Run();
    m_done = true;
}

} // namespace ltpd
