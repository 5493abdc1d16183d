#include "tools/ltpd/checkpointer.h"

#include <pthread.h>
#include <signal.h>
#include <sqlite3.h>

namespace ltpd {
namespace {

// Log pages after which a copy is asked for (SQLite's own default), and after which the committing
// connection copies itself because the thread has fallen far behind: the log stays bounded.
constexpr int kDuePages = 1000;
constexpr int kMostPages = 10000;

} // namespace

Checkpointer::Checkpointer(Database& db, const std::string& path) : m_db(db) {
    if (sqlite3_open_v2(path.c_str(), &m_own, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        const std::string message = m_own ? sqlite3_errmsg(m_own) : "out of memory";
        sqlite3_close(m_own);
        throw DatabaseError("cannot open for checkpoints: " + message);
    }
    // A copy waits for a commit in progress rather than giving up at once.
    sqlite3_busy_timeout(m_own, 2000);
    // The thread takes no signals: the server's loop waits for them (and a thread that took one
    // unblocked would end the process by its default action).
    sigset_t all, before;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &before);
    try {
        m_thread = std::thread([this] { Run(); });
    } catch (...) {
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
        sqlite3_close(m_own);
        throw;
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    // Replaces the committing connection's own copying after every kDuePages.
    sqlite3_wal_hook(m_db.Handle(), &Checkpointer::OnCommit, this);
}

Checkpointer::~Checkpointer() {
    sqlite3_wal_hook(m_db.Handle(), nullptr, nullptr);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
    sqlite3_close(m_own);
}

int Checkpointer::OnCommit(void* self, sqlite3* db, const char* name, int pages) {
    auto* c = static_cast<Checkpointer*>(self);
    if (pages >= kMostPages) {
        sqlite3_wal_checkpoint_v2(db, name, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    } else if (pages >= kDuePages) {
        {
            std::lock_guard<std::mutex> lock(c->m_mutex);
            c->m_due = true;
        }
        c->m_wake.notify_one();
    }
    return SQLITE_OK;
}

void Checkpointer::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_due || m_stop; });
        const bool stopping = m_stop;
        m_due = false;
        lock.unlock();
        // Passive: never waits for the server's connection, which may be writing meanwhile.
        sqlite3_wal_checkpoint_v2(m_own, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
        lock.lock();
        if (stopping)
            return;
    }
}

} // namespace ltpd
