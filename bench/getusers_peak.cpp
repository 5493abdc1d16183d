// ltpadmin-peakmem: the peak memory of one GetUsers of N users (default 100,000), measured with
// getrusage around the call; with "client" after N, of one ltp::Client::users() instead, and with
// "walk", of one ltp::Client::users_each() that keeps nothing (record_bytes is then one record).
// The peer runs in a child process, so that its copy of the response does not count. Prints one
// line of figures:
//   users=N response_bytes=R record_bytes=B peak_bytes=P
// and exits 0 when the call succeeded (whatever the figures).
#include "support/bench_peer.h"
#include "support/responses.h"
#include "support/session.h"

#include "ltpadmin/client.h"

#include <arpa/inet.h>
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

long MaxRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The same measure through ltp::Client; the records are counted at their size with the texts
// they hold on the heap.
int ClientPeak(unsigned short port, int users, bool walk) {
    ltp::Options options;
    options.port = port;
    options.user = ltpbench::kUserName;
    options.password = ltpbench::kPassword;
    ltp::Client client(options);
    try {
        client.clear_log_events();
        if (walk) {
            const long before = MaxRssKiB();
            int seen = 0;
            client.users_each([&](const ltp::User&) { ++seen; });
            const long after = MaxRssKiB();
            if (seen != users)
                return 1;
            std::printf("users=%d response_bytes=%lu record_bytes=%lu peak_bytes=%ld\n", users,
                        static_cast<unsigned long>(ltpbench::UsersResponseLength(users)),
                        static_cast<unsigned long>(sizeof(ltp::User)), (after - before) * 1024);
            return 0;
        }
        const long before = MaxRssKiB();
        const std::vector<ltp::User> list = client.users();
        const long after = MaxRssKiB();
        if (list.size() != static_cast<std::size_t>(users))
            return 1;
        std::printf("users=%d response_bytes=%lu record_bytes=%lu peak_bytes=%ld\n", users,
                    static_cast<unsigned long>(ltpbench::UsersResponseLength(users)),
                    static_cast<unsigned long>(list.capacity() * sizeof(ltp::User)),
                    (after - before) * 1024);
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
    const bool walk = argc > 2 && std::strcmp(argv[2], "walk") == 0;
    if (walk || (argc > 2 && std::strcmp(argv[2], "client") == 0)) {
        status = ClientPeak(ntohs(address.sin_port), users, walk);
    } else {
        CLTPCreater admin;
        CList<tagUser*, tagUser*> list;
        if (ltpbench::StartSession(admin, ntohs(address.sin_port))) {
            const long before = MaxRssKiB();
            const int ok = admin.GetUsers(&list);
            const long after = MaxRssKiB();
            if (ok && list.GetCount() == users) {
                std::printf("users=%d response_bytes=%lu record_bytes=%lu peak_bytes=%ld\n", users,
                            static_cast<unsigned long>(admin.GetReadMessage().GetLength()),
                            static_cast<unsigned long>(users) * sizeof(tagUser),
                            (after - before) * 1024);
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
