#include "tools/ltpd/schema.h"

namespace ltpd {

void CreateSchema(Database& db) {
    db.Exec("PRAGMA foreign_keys = ON");
    db.Exec(R"sql(
CREATE TABLE IF NOT EXISTS users (
    id TEXT PRIMARY KEY, text2 TEXT, text3 TEXT, text4 TEXT, text5 TEXT, text6 TEXT);
CREATE TABLE IF NOT EXISTS user_groups (id TEXT PRIMARY KEY, text2 TEXT);
CREATE TABLE IF NOT EXISTS memberships (
    user_id TEXT NOT NULL REFERENCES users(id) ON DELETE CASCADE,
    group_id TEXT NOT NULL REFERENCES user_groups(id) ON DELETE CASCADE,
    PRIMARY KEY (user_id, group_id));
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
CREATE TABLE IF NOT EXISTS group_rights (
    group_id TEXT NOT NULL REFERENCES user_groups(id) ON DELETE CASCADE,
    program_id INTEGER NOT NULL REFERENCES programs(id) ON DELETE CASCADE,
    rights INTEGER NOT NULL, PRIMARY KEY (group_id, program_id));
CREATE TABLE IF NOT EXISTS channels (id TEXT PRIMARY KEY, text2 TEXT, text3 TEXT);
-- text2 names the schedule's channel ('' for none).
CREATE TABLE IF NOT EXISTS schedules (
    id INTEGER PRIMARY KEY AUTOINCREMENT, text2 TEXT, number3 INTEGER, real4 REAL, real5 REAL,
    number6 INTEGER);
CREATE TABLE IF NOT EXISTS globals (key TEXT PRIMARY KEY, number2 INTEGER, text3 TEXT, text4 TEXT);
-- number4 is the registration number the server gives each MTP server.
CREATE TABLE IF NOT EXISTS mtp_servers (
    name TEXT PRIMARY KEY, text2 TEXT, text3 TEXT, number5 INTEGER, number6 INTEGER,
    number4 INTEGER);
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
CREATE TABLE IF NOT EXISTS settings (name TEXT PRIMARY KEY, value BLOB);
)sql");
}

} // namespace ltpd
