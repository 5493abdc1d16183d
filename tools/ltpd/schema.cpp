#include "tools/ltpd/schema.h"

#include <vector>

namespace ltpd {
namespace {

// Stamped into PRAGMA user_version; a database with another value was not made by this server.
constexpr int64_t kSchemaVersion = 1;

// Every lookup a handler makes has an index: a copy or a rights lookup never scans a table.
const char kSchema[] = R"sql(
CREATE TABLE IF NOT EXISTS users (
    id TEXT PRIMARY KEY, text2 TEXT, text3 TEXT, text4 TEXT, text5 TEXT, text6 TEXT);
CREATE TABLE IF NOT EXISTS user_groups (id TEXT PRIMARY KEY, text2 TEXT);
CREATE TABLE IF NOT EXISTS memberships (
    user_id TEXT NOT NULL REFERENCES users(id) ON DELETE CASCADE,
    group_id TEXT NOT NULL REFERENCES user_groups(id) ON DELETE CASCADE,
    PRIMARY KEY (user_id, group_id));
CREATE INDEX IF NOT EXISTS memberships_group ON memberships(group_id);
-- number6 is the parent program (0: top level); ids are never reused.
CREATE TABLE IF NOT EXISTS programs (
    id INTEGER PRIMARY KEY AUTOINCREMENT, text2 TEXT, text3 TEXT, text4 TEXT, real5 REAL,
    number6 INTEGER, number7 INTEGER, text8 TEXT, text9 TEXT, text10 TEXT, text11 TEXT,
    text12 TEXT, text13 TEXT);
CREATE INDEX IF NOT EXISTS programs_parent ON programs(number6);
CREATE TABLE IF NOT EXISTS user_rights (
    user_id TEXT NOT NULL REFERENCES users(id) ON DELETE CASCADE,
    program_id INTEGER NOT NULL REFERENCES programs(id) ON DELETE CASCADE,
    rights INTEGER NOT NULL, PRIMARY KEY (user_id, program_id));
CREATE INDEX IF NOT EXISTS user_rights_program ON user_rights(program_id);
CREATE TABLE IF NOT EXISTS group_rights (
    group_id TEXT NOT NULL REFERENCES user_groups(id) ON DELETE CASCADE,
    program_id INTEGER NOT NULL REFERENCES programs(id) ON DELETE CASCADE,
    rights INTEGER NOT NULL, PRIMARY KEY (group_id, program_id));
CREATE INDEX IF NOT EXISTS group_rights_program ON group_rights(program_id);
CREATE TABLE IF NOT EXISTS channels (id TEXT PRIMARY KEY, text2 TEXT, text3 TEXT);
-- text2 names the schedule's channel ('' for none).
CREATE TABLE IF NOT EXISTS schedules (
    id INTEGER PRIMARY KEY AUTOINCREMENT, text2 TEXT, number3 INTEGER, real4 REAL, real5 REAL,
    number6 INTEGER);
CREATE INDEX IF NOT EXISTS schedules_channel ON schedules(text2);
CREATE TABLE IF NOT EXISTS globals (key TEXT PRIMARY KEY, number2 INTEGER, text3 TEXT, text4 TEXT);
-- number4 is the registration number the server gives each MTP server.
CREATE TABLE IF NOT EXISTS mtp_servers (
    name TEXT PRIMARY KEY, text2 TEXT, text3 TEXT, number5 INTEGER, number6 INTEGER,
    number4 INTEGER);
CREATE INDEX IF NOT EXISTS mtp_servers_channel ON mtp_servers(text3, name);
CREATE INDEX IF NOT EXISTS mtp_servers_number ON mtp_servers(number4);
CREATE TABLE IF NOT EXISTS program_paths (
    program_id INTEGER NOT NULL REFERENCES programs(id) ON DELETE CASCADE,
    path TEXT NOT NULL, real3 REAL, real4 REAL, PRIMARY KEY (program_id, path));
CREATE TABLE IF NOT EXISTS log_events (
    id INTEGER PRIMARY KEY AUTOINCREMENT, at REAL NOT NULL, user TEXT NOT NULL, text TEXT NOT NULL);
-- One row per use of a program: who, which, from when to when (dates as in the protocol).
CREATE TABLE IF NOT EXISTS usage (
    user_id TEXT NOT NULL, program_id INTEGER NOT NULL, started REAL NOT NULL,
    stopped REAL NOT NULL);
CREATE INDEX IF NOT EXISTS usage_started ON usage(started);
CREATE INDEX IF NOT EXISTS usage_user ON usage(user_id, started);
CREATE INDEX IF NOT EXISTS usage_program ON usage(program_id, started);
CREATE TABLE IF NOT EXISTS settings (name TEXT PRIMARY KEY, value BLOB);
)sql";

int64_t UserVersion(Database& db) {
    Statement s = db.Prepare("PRAGMA user_version");
    return s.Step() ? s.Integer(0) : 0;
}

// Table name, then "column type notnull pk" of each column, one line per table, in name order.
std::vector<std::string> Shape(Database& db) {
    std::vector<std::string> tables;
    Statement names = db.Prepare("SELECT name FROM sqlite_master WHERE type = 'table' AND name "
                                 "NOT LIKE 'sqlite_%' ORDER BY name");
    while (names.Step())
        tables.push_back(names.Text(0));
    for (std::string& table : tables) {
        Statement columns = db.Prepare("SELECT name, type, \"notnull\", pk FROM "
                                       "pragma_table_info(?1) ORDER BY cid");
        columns.Bind(1, table);
        while (columns.Step())
            table += " " + columns.Text(0) + ":" + columns.Text(1) + ":" + columns.Text(2) + ":" +
                     columns.Text(3);
    }
    return tables;
}

} // namespace

void CreateSchema(Database& db) {
    db.Exec("PRAGMA foreign_keys = ON");
    db.Exec(kSchema);
    if (UserVersion(db) == 0)
        db.Exec("PRAGMA user_version = " + std::to_string(kSchemaVersion));
}

void UseWriteAheadLog(Database& db) {
    db.Exec("PRAGMA journal_mode = WAL");
    db.Exec("PRAGMA synchronous = NORMAL");
    // A log that grew under a long run of writes is cut back once it has been copied.
    db.Exec("PRAGMA journal_size_limit = 4194304");
}

std::string ForeignSchema(Database& db) {
    const int64_t version = UserVersion(db);
    const std::vector<std::string> found = Shape(db);
    if (found.empty() && version == 0)
        return ""; // a new file
    if (version != 0 && version != kSchemaVersion)
        return "schema version " + std::to_string(version) + " is not ltpd's (" +
               std::to_string(kSchemaVersion) + ")";
    // Files written before the version stamp have 0; their tables must still be ltpd's.
    Database reference(":memory:");
    reference.Exec(kSchema);
    const std::vector<std::string> expected = Shape(reference);
    for (const std::string& table : found) {
        bool known = false;
        for (const std::string& want : expected)
            known = known || want == table;
        if (!known)
            return "table " + table.substr(0, table.find(' ')) +
                   " is not one of ltpd's, or its "
                   "columns differ";
    }
    return ""; // tables an earlier ltpd did not have yet are created
}

} // namespace ltpd
