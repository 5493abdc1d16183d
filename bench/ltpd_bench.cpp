// ltpd as a peer: sequential Add User requests through the library against ltpd (its memory
// database, and a database file), and the same adds as lines of `ltpctl batch`. Their yardstick
// is BM_RoundTrip_Raw, a raw round trip against the benchmark peer, which does no work at all.
#include "support/responses.h"
#include "support/session.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <pthread.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include "tools/ltpd/checkpointer.h"
#include "tools/ltpd/database.h"
#include "tools/ltpd/schema.h"
#include "tools/ltpd/server.h"
#include "tools/ltpd/service.h"

namespace {

// ltpd's loop on a thread of its own, with the benchmark's credentials.
class LtpdThread {
public:
    explicit LtpdThread(const std::string& path) : m_path(path), m_db(path) {
        if (path != ":memory:")
            ltpd::UseWriteAheadLog(m_db);
        ltpd::CreateSchema(m_db);
        if (path != ":memory:")
            m_checkpointer = std::make_unique<ltpd::Checkpointer>(m_db, path);
        ltpd::ServerOptions options;
        options.port = 0;
        options.quiet = true;
        m_server = std::make_unique<ltpd::Server>(m_service, options);
        std::string error;
        m_ok = m_server->Listen(error) && pipe(m_stop) == 0;
        if (m_ok)
            m_thread = std::thread([this] { m_server->Run(m_stop[0]); });
    }
    ~LtpdThread() {
        if (m_thread.joinable()) {
            (void)!write(m_stop[1], "x", 1);
            m_thread.join();
            close(m_stop[0]);
            close(m_stop[1]);
        }
        m_checkpointer.reset();
        if (m_path != ":memory:")
            for (const char* suffix : {"", "-wal", "-shm"})
                std::remove((m_path + suffix).c_str());
    }
    bool Ok() const { return m_ok; }
    unsigned short Port() const { return m_server->Port(); }
    // CPU seconds the server's thread has used so far.
    double CpuSeconds() {
        clockid_t clock;
        timespec t{};
        if (!m_thread.joinable() || pthread_getcpuclockid(m_thread.native_handle(), &clock) != 0 ||
            clock_gettime(clock, &t) != 0)
            return 0;
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
    }

private:
    std::string m_path;
    ltpd::Database m_db;
    std::unique_ptr<ltpd::Checkpointer> m_checkpointer;
    ltpd::Service m_service{m_db, ltpd::Credentials{ltpbench::kUserName, ltpbench::kPassword}};
    std::unique_ptr<ltpd::Server> m_server;
    int m_stop[2] = {-1, -1};
    bool m_ok = false;
    std::thread m_thread;
};

std::string DatabasePath(int64_t kind) {
    return kind == 0 ? ":memory:" : "/tmp/ltpd-bench-" + std::to_string(getpid()) + ".sqlite";
}

// Arg 0: the memory database; 1: a database file.
void BM_AddUser_Ltpd(benchmark::State& state) {
    LtpdThread ltpd(DatabasePath(state.range(0)));
    CLTPCreater admin;
    if (!ltpd.Ok() || !ltpbench::StartSession(admin, ltpd.Port()))
        return state.SkipWithError("no session with ltpd");
    tagUser user{};
    long n = 0;
    for (auto _ : state) {
        std::snprintf(user.UserID, sizeof user.UserID, "user%ld", n++);
        if (admin.AddUser(&user) != 1)
            return state.SkipWithError("AddUser failed");
    }
}

// CPU seconds the finished children of this process have used.
double ChildrenCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// `ltpctl batch` adding users, against ltpd's memory database: each iteration runs a batch of
// range(0) lines, range(1) in flight (--pipeline), and is timed whole (a per-line iteration time
// would make the warm-up, which counts iteration time, run thousands of batches); the "lines"
// counter lets a reader divide. The counters ltpctl_cpu and ltpd_cpu are the CPU seconds a line
// of the two processes, which run in parallel: the larger is the machine's limit for a line.
void BM_AddUser_LtpctlBatch(benchmark::State& state) {
    LtpdThread ltpd(":memory:");
    if (!ltpd.Ok())
        return state.SkipWithError("ltpd did not start");
    const long lines = static_cast<long>(state.range(0));
    const long depth = static_cast<long>(state.range(1));
    const std::string file = "/tmp/ltpd-bench-batch-" + std::to_string(getpid());
    const std::string command = std::string("LTP_PASSWORD='") + ltpbench::kPassword +
                                "' " LTPCTL_BINARY " --port " + std::to_string(ltpd.Port()) +
                                " --user '" + ltpbench::kUserName + "' batch --pipeline " +
                                std::to_string(depth) + " " + file + " >/dev/null";
    long n = 0;
    double clientCpu = 0;
    double serverCpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            std::ofstream out(file, std::ios::trunc);
            for (long i = 0; i < lines; ++i)
                out << "users add user" << n++ << "\n";
        }
        state.ResumeTiming();
        const double clientBefore = ChildrenCpuSeconds();
        const double serverBefore = ltpd.CpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0)
            return state.SkipWithError("ltpctl batch failed");
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        clientCpu += ChildrenCpuSeconds() - clientBefore; // the shell's share is small
        serverCpu += ltpd.CpuSeconds() - serverBefore;
    }
    const double done = static_cast<double>(lines) * static_cast<double>(state.iterations());
    state.counters["lines"] = static_cast<double>(lines);
    state.counters["ltpctl_cpu"] = done > 0 ? clientCpu / done : 0;
    state.counters["ltpd_cpu"] = done > 0 ? serverCpu / done : 0;
    std::remove(file.c_str());
    // Every line did its work.
    CLTPCreater admin;
    tagUser last{};
    if (!ltpbench::StartSession(admin, ltpd.Port()) ||
        admin.FindUser(("user" + std::to_string(n - 1)).c_str(), &last) != 1)
        state.SkipWithError("the batch did not add its users");
}

} // namespace

BENCHMARK(BM_AddUser_Ltpd)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMicrosecond);
// A few batches suffice: each is thousands of round trips.
// Depth 1 is one request at a time; 64 in flight is the pipelined batch, whose pair runs 20,000
// lines so that ltpctl's start weighs little against lines that take a few microseconds.
BENCHMARK(BM_AddUser_LtpctlBatch)
    ->Args({2000, 1})
    ->Args({20000, 1})
    ->Args({20000, 64})
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
