// A thin RAII layer over SQLite: one connection, prepared statements with positional binding.
// Failures throw DatabaseError; the service turns it into a 500 answer and rolls back.
// Statements are prepared once per text and kept: a request then costs no SQL parsing.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace ltpd {

class DatabaseError : public std::runtime_error {
public:
    explicit DatabaseError(const std::string& what, bool busy = false)
        : std::runtime_error(what), m_busy(busy) {}
    // Another connection holds the database's lock.
    bool Busy() const { return m_busy; }

private:
    bool m_busy;
};

class Statement {
public:
    // Prepared for this statement alone, finalized at the end.
    Statement(sqlite3* db, std::string_view sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Parameters are numbered from 1, as in SQL.
    Statement& Bind(int index, std::string_view text);
    Statement& Bind(int index, int64_t number);
    Statement& Bind(int index, int number) { return Bind(index, static_cast<int64_t>(number)); }
    Statement& Bind(int index, double decimal);
    // Next row: true while there is one.
    bool Step();
    // Runs to completion, for statements that return no rows.
    void Run();
    // Ready to run again with new bindings: one statement serves a loop.
    void Reset();

    // Columns are numbered from 0.
    std::string Text(int column) const;
    int64_t Integer(int column) const;
    double Decimal(int column) const;
    bool IsNull(int column) const;

private:
    friend class Database;
    // A kept statement, lent until this one ends: then it is reset and given back.
    Statement(sqlite3* db, sqlite3_stmt* kept, bool* lent) : m_db(db), m_stmt(kept), m_lent(lent) {}

    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
    bool* m_lent = nullptr; // set while a kept statement is lent
};

class Database {
public:
    // ":memory:" or a file path; the file is created when missing.
    explicit Database(const std::string& path);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void Exec(std::string_view sql);
    // The kept statement of this text, or a fresh one while that is in use (a query nested in a
    // loop over the same query).
    Statement Prepare(std::string_view sql);
    int64_t LastInsertId() const;
    int Changes() const;
    // The SQLite connection, for tracing and diagnostics.
    sqlite3* Handle() const { return m_db; }

    // Whether a query returns at least one row.
    template <typename... Args> bool Exists(std::string_view sql, const Args&... args) {
        Statement s = Prepare(sql);
        int i = 1;
        (s.Bind(i++, args), ...);
        return s.Step();
    }

private:
    struct Kept {
        sqlite3_stmt* stmt;
        bool lent;
    };

    sqlite3* m_db = nullptr;
    // The texts are the server's own; the bound keeps a server that builds texts from bounded.
    std::unordered_map<std::string, Kept> m_kept;
};

// BEGIN on construction; ROLLBACK on destruction unless Commit was called.
class Transaction {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    void Commit();

private:
    Database& m_db;
    bool m_done = false;
};

} // namespace ltpd
