// ltp::Client against the same peer and the same bytes as the raw client and CLTPCreater: one
// round trip, and lists of N users decoded into strings.
#include "support/bench_peer.h"
#include "support/responses.h"

#include "ltpadmin/client.h"

#include <benchmark/benchmark.h>

#include <cstddef>
#include <string>
#include <vector>

namespace {

constexpr int kClearLogEventsRow = 5;
constexpr int kGetUsersRow = 6;

ltp::Options PeerOptions(unsigned short port) {
    ltp::Options options;
    options.port = port;
    options.user = ltpbench::kUserName;
    options.password = ltpbench::kPassword;
    return options;
}

void BM_Client_RoundTrip(benchmark::State& state) {
    ltpbench::BenchPeer peer(ltpbench::MakeStatusResponse());
    ltp::Client client(PeerOptions(peer.Port()));
    try {
        client.clear_log_events(); // connects before anything is timed
        if (peer.KeptRequest() != ltpbench::BareRequest(kClearLogEventsRow))
            return state.SkipWithError("the client sent other bytes than the raw client");
        for (auto _ : state)
            client.clear_log_events();
    } catch (const ltp::Error& e) {
        state.SkipWithError(e.what());
    }
}

// One list of the peer's users polled in every iteration through list(client), which returns how
// many users it saw; the request must be the raw client's bytes.
template <class List> void PollUsers(benchmark::State& state, const char* form, List list) {
    const int users = static_cast<int>(state.range(0));
    ltpbench::BenchPeer peer(ltpbench::MakeUsersResponse(users));
    peer.KeepRequest(1);
    ltp::Client client(PeerOptions(peer.Port()));
    try {
        client.clear_log_events();
        for (auto _ : state)
            if (list(client) != static_cast<std::size_t>(users))
                return state.SkipWithError((std::string(form) + " gave another count").c_str());
    } catch (const ltp::Error& e) {
        return state.SkipWithError(e.what());
    }
    if (peer.KeptRequest() != ltpbench::BareRequest(kGetUsersRow))
        return state.SkipWithError("the client sent other bytes than the raw client");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(ltpbench::UsersResponseLength(users)));
}

void BM_Client_GetUsers(benchmark::State& state) {
    PollUsers(state, "users()", [](ltp::Client& client) {
        const std::vector<ltp::User> list = client.users();
        benchmark::DoNotOptimize(list.data());
        return list.size();
    });
}

// The same list polled into one vector: after the first call its records and texts have their
// room, so a call allocates nothing.
void BM_Client_GetUsersInto(benchmark::State& state) {
    std::vector<ltp::User> list;
    PollUsers(state, "users_into()", [&](ltp::Client& client) {
        client.users_into(list);
        benchmark::DoNotOptimize(list.data());
        return list.size();
    });
}

// The same list walked: each user handed to a callback as it arrives, none kept; what a printer
// or a counter of the list pays.
void BM_Client_WalkUsers(benchmark::State& state) {
    PollUsers(state, "users_each()", [](ltp::Client& client) {
        std::size_t seen = 0;
        std::size_t bytes = 0;
        client.users_each([&](const ltp::User& user) {
            ++seen;
            bytes += user.text2.size();
        });
        benchmark::DoNotOptimize(bytes);
        return seen;
    });
}

} // namespace

BENCHMARK(BM_Client_WalkUsers)
    ->Arg(1000)
    ->Arg(100000)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Client_GetUsersInto)
    ->Arg(1000)
    ->Arg(100000)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Client_RoundTrip)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Client_GetUsers)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
