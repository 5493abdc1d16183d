// ltpctl's lists against answers no ltpd would give, from a scripted peer.
#include <gtest/gtest.h>

#include <string>

#include "support/loopback_peer.h"
#include "support/ltpd_server.h"

namespace {

// Junk that counts as records must fail the command, not print nothing and succeed.
TEST(LtpctlLists, AFloodOfOpeningBracketsFailsAtTheResultLimit) {
    ltptest::LoopbackPeer peer;
    const std::string flood =
        ltptest::MakeResponse(200, " OK", std::string(std::size_t(5) << 20, '<'));
    peer.ServeEach([&](const std::string&) { return flood; }).Start();
    const e2e::ProcessResult r =
        e2e::CtlWithEnvironment({"--max-result-bytes", "16777216", "programs", "list"},
                                {{"LTP_HOST", "127.0.0.1"},
                                 {"LTP_PORT", std::to_string(peer.Port())},
                                 {"LTP_PASSWORD", "secret"}});
    EXPECT_EQ(r.exitCode, 3) << r.out << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(peer.Finish());
}

} // namespace
