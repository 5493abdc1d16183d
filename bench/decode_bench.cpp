// Decoding a large list response against the least any decoder must do over the same bytes:
// find the "<" and allocate and zero-fill one record per element.
#include "ltpadmin/protocol/response.h"
#include "support/responses.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const std::string& UsersResponse(int users) {
    static std::string response;
    static int made = -1;
    if (made != users) {
        response = ltpbench::MakeUsersResponse(users);
        made = users;
    }
    return response;
}

void ReleaseAll(std::vector<tagUser*>& records) {
    for (tagUser* r : records)
        delete r;
    records.clear();
}

void BM_Decode_Users(benchmark::State& state) {
    const std::string& response = UsersResponse(static_cast<int>(state.range(0)));
    const ULONG length = static_cast<ULONG>(response.size());
    std::vector<tagUser*> records;
    records.reserve(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        // As the list operations do it: walk, decode and count in one pass.
        ltp::detail::CRecordWalk walk(response.data(), length);
        const char* span;
        UINT spanLength;
        while (walk.Next(span, spanLength)) {
            tagUser* record = new tagUser();
            ltp::detail::DecodeRecord(span, spanLength, record);
            records.push_back(record);
        }
        if (records.size() != walk.Openings() / 2)
            return state.SkipWithError("records and count disagree");
        benchmark::DoNotOptimize(records.data());
        benchmark::ClobberMemory();
        ReleaseAll(records);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(length));
}

void BM_Decode_Baseline(benchmark::State& state) {
    const std::string& response = UsersResponse(static_cast<int>(state.range(0)));
    const char* const end = response.data() + response.size();
    std::vector<tagUser*> records;
    records.reserve(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        UINT brackets = 0;
        for (const char* p = response.data();
             (p = static_cast<const char*>(std::memchr(p, '<', static_cast<size_t>(end - p)))); ++p)
            ++brackets;
        for (UINT i = 0; i < brackets / 2; ++i)
            records.push_back(new tagUser());
        benchmark::DoNotOptimize(records.data());
        benchmark::ClobberMemory();
        ReleaseAll(records);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(response.size()));
}

} // namespace

BENCHMARK(BM_Decode_Users)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode_Baseline)->Arg(100000)->Unit(benchmark::kMillisecond);
