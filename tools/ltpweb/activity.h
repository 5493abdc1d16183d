// The activity of this console: who changed what through it, when, with the record before and
// after. Kept in an SQLite file so that it survives a restart, and cut to the newest entries so
// that it stays bounded. An audit trail for the operators, apart from the LTP server's own log.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/ltpweb/routes.h"

struct sqlite3;

namespace ltpweb {

class ActivityLog {
public:
    // Opens (or creates) the file; ":memory:" keeps nothing past the process. Throws
    // std::runtime_error when the file cannot be used.
    ActivityLog(const std::string& file, long maxEntries);
    ~ActivityLog();
    ActivityLog(const ActivityLog&) = delete;
    ActivityLog& operator=(const ActivityLog&) = delete;

    // before and after are JSON (null when there is none); a large one is kept as its size only.
    void Add(const std::string& who, const std::string& action, const std::string& method,
             const std::string& path, const nlohmann::ordered_json& before,
             const nlohmann::ordered_json& after);

    // Newest first; q matches any column (case-insensitive). {"total", "offset", "limit", "items"}.
    nlohmann::ordered_json Page(const std::string& q, long offset, long limit);

private:
    std::mutex m_lock;
    sqlite3* m_db = nullptr;
    long m_max;
};

// Makes every changing API route write its successful changes to the log, with the record
// before and after read through the GET route of the same record, and adds GET /api/activity.
void RecordActivity(std::vector<Route>& routes, std::shared_ptr<ActivityLog> log);

} // namespace ltpweb
