// A thin RAII layer over SQLite: one connection, prepared statements with positional binding.
// Failures throw DatabaseError; the service turns it into a 500 answer and rolls back.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace ltpd {

class DatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Statement {
public:
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
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

class Database {
public:
    // ":memory:" or a file path; the file is created when missing.
    explicit Database(const std::string& path);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void Exec(std::string_view sql);
    Statement Prepare(std::string_view sql) { return Statement(m_db, sql); }
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
    sqlite3* m_db = nullptr;
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
