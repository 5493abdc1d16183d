// One bare request and a status-only answer: what a round trip through the session costs over
// the round trip of a plain blocking socket, against the same peer.
#include "support/bench_peer.h"
#include "support/raw_client.h"
#include "support/responses.h"
#include "support/session.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kClearLogEventsRow = 5;

void BM_RoundTrip_Library(benchmark::State& state) {
    ltpbench::BenchPeer peer(ltpbench::MakeStatusResponse());
    CLTPCreater admin;
    if (!ltpbench::StartSession(admin, peer.Port()))
        return state.SkipWithError("no session with the peer");
    if (peer.KeptRequest() != ltpbench::BareRequest(kClearLogEventsRow))
        return state.SkipWithError("the library sent other bytes than the raw client");
    for (auto _ : state)
        if (!admin.ClearLogEvents())
            return state.SkipWithError("ClearLogEvents failed");
}

void BM_RoundTrip_Raw(benchmark::State& state) {
    ltpbench::BenchPeer peer(ltpbench::MakeStatusResponse());
    ltpbench::RawClient client;
    if (!client.Connect(peer.Port()))
        return state.SkipWithError("no connection to the peer");
    const std::string request = ltpbench::BareRequest(kClearLogEventsRow);
    for (auto _ : state)
        if (!client.Exchange(request))
            return state.SkipWithError("exchange failed");
}

} // namespace

BENCHMARK(BM_RoundTrip_Library)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RoundTrip_Raw)->UseRealTime()->Unit(benchmark::kMicrosecond);
