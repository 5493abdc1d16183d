// ltp::Client::users() against a running ltpd, for bench/python_client to set beside the same
// call from Python in the same run. The server is given by LTP_PORT, LTP_USER and LTP_PASSWORD.
#include <ltpadmin/client.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

void BM_Client_UsersFromLtpd(benchmark::State& state) {
    ltp::Options options;
    options.port = static_cast<std::uint16_t>(std::atoi(Env("LTP_PORT").c_str()));
    options.user = Env("LTP_USER");
    options.password = Env("LTP_PASSWORD");
    options.request_timeout = std::chrono::seconds(60);
    try {
        ltp::Client client(options);
        client.connect();
        for (auto _ : state) {
            const std::vector<ltp::User> users = client.users();
            benchmark::DoNotOptimize(users.data());
            state.counters["users"] = static_cast<double>(users.size());
        }
    } catch (const ltp::Error& e) {
        state.SkipWithError(e.what());
    }
}

} // namespace

BENCHMARK(BM_Client_UsersFromLtpd)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
