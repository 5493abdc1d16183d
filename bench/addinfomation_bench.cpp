// A large request: the library sends a text in 1024-byte pieces, one per write notification;
// the raw client writes the same bytes with blocking sends.
#include "support/bench_peer.h"
#include "support/raw_client.h"
#include "support/responses.h"
#include "support/session.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

void BM_AddInfomation_Library(benchmark::State& state) {
    const std::string text = ltpbench::MakeText(static_cast<size_t>(state.range(0)));
    ltpbench::BenchPeer peer(ltpbench::MakeStatusResponse());
    peer.KeepRequest(1); // the first AddInfomation, after the session's warm-up
    CLTPCreater admin;
    if (!ltpbench::StartSession(admin, peer.Port()))
        return state.SkipWithError("no session with the peer");
    std::vector<char> buffer(text.c_str(), text.c_str() + text.size() + 1);
    for (auto _ : state)
        if (!admin.AddInfomation(buffer.data()))
            return state.SkipWithError("AddInfomation failed");
    if (peer.KeptRequest() != ltpbench::InformationRequest(text))
        return state.SkipWithError("the library sent other bytes than the raw client");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_AddInfomation_Raw(benchmark::State& state) {
    const std::string text = ltpbench::MakeText(static_cast<size_t>(state.range(0)));
    ltpbench::BenchPeer peer(ltpbench::MakeStatusResponse());
    ltpbench::RawClient client;
    if (!client.Connect(peer.Port()))
        return state.SkipWithError("no connection to the peer");
    const std::string request = ltpbench::InformationRequest(text);
    for (auto _ : state)
        if (!client.Exchange(request))
            return state.SkipWithError("exchange failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

} // namespace

BENCHMARK(BM_AddInfomation_Library)->Arg(1 << 20)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddInfomation_Raw)->Arg(1 << 20)->UseRealTime()->Unit(benchmark::kMillisecond);
