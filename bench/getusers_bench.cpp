// A list of N users: the library receives, decodes and allocates; the raw client receives the
// same bytes and allocates and zero-fills N records, the least any decoder must do besides.
#include "support/bench_peer.h"
#include "support/raw_client.h"
#include "support/responses.h"
#include "support/session.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr int kGetUsersRow = 6;

void BM_GetUsers_Library(benchmark::State& state) {
    const int users = static_cast<int>(state.range(0));
    ltpbench::BenchPeer peer(ltpbench::MakeUsersResponse(users));
    peer.KeepRequest(1); // the first GetUsers, after the session's warm-up
    CLTPCreater admin;
    if (!ltpbench::StartSession(admin, peer.Port()))
        return state.SkipWithError("no session with the peer");
    CList<tagUser*, tagUser*> list;
    for (auto _ : state) {
        if (!admin.GetUsers(&list) || list.GetCount() != users)
            return state.SkipWithError("GetUsers failed");
        ltpbench::ReleaseRecords(list);
    }
    if (peer.KeptRequest() != ltpbench::BareRequest(kGetUsersRow))
        return state.SkipWithError("the library sent other bytes than the raw client");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(admin.GetReadMessage().GetLength()));
}

void BM_GetUsers_Raw(benchmark::State& state) {
    const int users = static_cast<int>(state.range(0));
    ltpbench::BenchPeer peer(ltpbench::MakeUsersResponse(users));
    ltpbench::RawClient client;
    if (!client.Connect(peer.Port()))
        return state.SkipWithError("no connection to the peer");
    const std::string request = ltpbench::BareRequest(kGetUsersRow);
    std::vector<tagUser*> records;
    records.reserve(static_cast<size_t>(users));
    for (auto _ : state) {
        if (!client.Exchange(request))
            return state.SkipWithError("exchange failed");
        for (int i = 0; i < users; ++i)
            records.push_back(new tagUser()); // zero-filled
        benchmark::DoNotOptimize(records.data());
        benchmark::ClobberMemory();
        for (tagUser* record : records)
            delete record;
        records.clear();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(client.Length()));
}

} // namespace

BENCHMARK(BM_GetUsers_Library)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetUsers_Raw)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
