// Copies a database file's write-ahead log back into the file on a thread of its own. A commit
// then only appends to the log (which a killed server does not lose), and the disk syncs that
// copying needs happen beside the requests instead of inside one of them.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "tools/ltpd/database.h"

namespace ltpd {

class Checkpointer {
public:
    // Watches db's commits (db must outlive this) and copies with a connection of its own to path.
    Checkpointer(Database& db, const std::string& path);
    // Copies what is left, then ends the thread.
    ~Checkpointer();
    Checkpointer(const Checkpointer&) = delete;
    Checkpointer& operator=(const Checkpointer&) = delete;

private:
    static int OnCommit(void* self, sqlite3* db, const char* name, int pages);
    void Run();

    Database& m_db;
    sqlite3* m_own = nullptr;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_due = false;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace ltpd
