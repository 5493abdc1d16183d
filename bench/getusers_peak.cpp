// ltpadmin-peakmem: the peak memory and time of one GetUsers of N users (default 100,000), the
// memory being the peak resident size above the resident size before the call. After N, the form:
// "library" (CLTPCreater, the default), "client" (ltp::Client::users(), a fresh vector) or "into"
// (users_into() a second time into the same vector, the steady state of a poll; the peak covers
// both calls) or "each" (users_each(), a walk that keeps nothing; record_bytes is one record). The
// peer runs in a child process, so that its copy of the response does not count. Prints one line of
// figures:
//   users=N response_bytes=R record_bytes=B peak_bytes=P seconds=S
// and exits 0 when the call succeeded (whatever the figures), 2 for a form it does not know.
#include "support/bench_peer.h"
#include "support/responses.h"
#include "support/session.h"

#include "ltpadmin/client.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A line of /proc/self/status in KiB ("VmRSS", "VmHWM"); -1 when it cannot be read.
long StatusKiB(const char* name) {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return -1;
    char line[256];
    long kib = -1;
    const std::size_t length = std::strlen(name);
    while (std::fgets(line, sizeof line, status))
        if (std::strncmp(line, name, length) == 0 && line[length] == ':') {
            kib = std::atol(line + length + 1);
            break;
        }
    std::fclose(status);
    return kib;
}

// The resident size now, with the peak reset to it, so that the peak read after a call is the
// call's own: earlier work (a larger list, the heap's start-up) does not hide it.
long IdleKiB() {
    if (std::FILE* refs = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", refs);
        std::fclose(refs);
    }
    return StatusKiB("VmRSS");
}

long MaxRssKiB() {
    const long peak = StatusKiB("VmHWM");
    if (peak >= 0)
        return peak;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The same measure through ltp::Client; the records are counted at their size with the texts
// they hold on the heap.
int ClientPeak(unsigned short port, int users, bool into, bool each) {
    ltp::Options options;
    options.port = port;
    options.user = ltpbench::kUserName;
    options.password = ltpbench::kPassword;
    ltp::Client client(options);
    try {
        client.clear_log_events();
        const long before = IdleKiB();
        std::vector<ltp::User> list;
        if (into)
            client.users_into(list);
        std::size_t walked = 0;
        const auto start = std::chrono::steady_clock::now();
        if (each)
            client.users_each([&](const ltp::User&) { ++walked; });
        else if (into)
            client.users_into(list);
        else
            list = client.users();
        const double seconds = SecondsSince(start);
        const long after = MaxRssKiB();
        if ((each ? walked : list.size()) != static_cast<std::size_t>(users))
            return 1;
        const std::size_t records = each ? sizeof(ltp::User) : list.capacity() * sizeof(ltp::User);
        std::printf("users=%d response_bytes=%lu record_bytes=%lu peak_bytes=%ld seconds=%.6f\n",
                    users, static_cast<unsigned long>(ltpbench::UsersResponseLength(users)),
                    static_cast<unsigned long>(records), (after - before) * 1024, seconds);
        return 0;
    } catch (const ltp::Error& e) {
        std::fprintf(stderr, "ltpadmin-peakmem: %s\n", e.what());
        return 1;
    }
}

} // namespace

int main(int argc, char** argv) {
    const int users = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listenFd < 0 || bind(listenFd, reinterpret_cast<sockaddr*>(&address), length) < 0 ||
        listen(listenFd, 4) < 0 ||
        getsockname(listenFd, reinterpret_cast<sockaddr*>(&address), &length) < 0) {
        std::perror("ltpadmin-peakmem");
        return 2;
    }
    const pid_t child = fork();
    if (child < 0) {
        std::perror("ltpadmin-peakmem");
        return 2;
    }
    if (child == 0) {
        ltpbench::ServeForever(listenFd, ltpbench::MakeUsersResponse(users));
        _exit(0);
    }
    close(listenFd);

    int status = 1;
    const char* form = argc > 2 ? argv[2] : "library";
    const bool into = std::strcmp(form, "into") == 0;
    const bool each = std::strcmp(form, "each") == 0;
    if (std::strcmp(form, "client") == 0 || into || each) {
        status = ClientPeak(ntohs(address.sin_port), users, into, each);
    } else if (std::strcmp(form, "library") != 0) {
        std::fprintf(stderr, "ltpadmin-peakmem: unknown form %s (library, client, into, each)\n",
                     form);
        status = 2;
    } else {
        CLTPCreater admin;
        CList<tagUser*, tagUser*> list;
        // A million users' records (about 700 MB) pass the session's default bound.
        admin.SetMaxResultBytes(std::size_t{2} << 30);
        if (ltpbench::StartSession(admin, ntohs(address.sin_port))) {
            const long before = IdleKiB();
            const auto start = std::chrono::steady_clock::now();
            const int ok = admin.GetUsers(&list);
            const double seconds = SecondsSince(start);
            const long after = MaxRssKiB();
            if (ok && list.GetCount() == users) {
                std::printf(
                    "users=%d response_bytes=%lu record_bytes=%lu peak_bytes=%ld seconds=%.6f\n",
                    users, static_cast<unsigned long>(admin.GetReadMessage().GetLength()),
                    static_cast<unsigned long>(users) * sizeof(tagUser), (after - before) * 1024,
                    seconds);
                status = 0;
            } else {
                std::fprintf(stderr, "ltpadmin-peakmem: GetUsers failed (%d)\n",
                             static_cast<int>(admin.GetLastError()));
            }
        }
        ltpbench::ReleaseRecords(list);
    }
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    return status;
}
